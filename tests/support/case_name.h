// Names the cases of a parameterized test after their labels, so that a
// failure names the row of the table it comes from.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace quendrix::testing {

// The case's `label` with every character that a test name cannot hold
// replaced by "_".
struct CaseName {
  template <typename Case>
  std::string operator()(const ::testing::TestParamInfo<Case>& info) const {
    std::string name = info.param.label;
    for (char& c : name) {
      if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    }
    return name;
  }
};

}  // namespace quendrix::testing
