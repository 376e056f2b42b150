// An environment variable of the test process, set for one scope.
#pragma once

#include <optional>
#include <string>

#include "platform/platform.h"

namespace quendrix::testing {

// Sets `name` to `value` (removes it without a value) and puts back what was
// there before when the scope ends. A variable that held empty text comes
// back unset, which every lookup reads the same way.
class ScopedEnvironmentValue {
 public:
  ScopedEnvironmentValue(std::string name, const std::optional<std::string>& value)
      : name_(std::move(name)), previous_(platform::EnvironmentValue(name_)) {
    platform::SetEnvironmentValue(name_, value);
  }
  ~ScopedEnvironmentValue() {
    platform::SetEnvironmentValue(
        name_, previous_.empty() ? std::nullopt : std::optional<std::string>(previous_));
  }
  ScopedEnvironmentValue(const ScopedEnvironmentValue&) = delete;
  ScopedEnvironmentValue& operator=(const ScopedEnvironmentValue&) = delete;

 private:
  std::string name_;
  std::string previous_;
};

}  // namespace quendrix::testing
