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
  // Name and value are written in `encoding`: UTF-8 reaches the wide
  // function on Windows, for a value the ANSI code page cannot write.
  ScopedEnvironmentValue(
      std::string name, const std::optional<std::string>& value,
      platform::TextEncoding encoding = platform::TextEncoding::kSystem)
      : name_(std::move(name)),
        encoding_(encoding),
        previous_(platform::EnvironmentValue(name_, encoding)) {
    platform::SetEnvironmentValue(name_, value, encoding_);
  }
  ~ScopedEnvironmentValue() {
    platform::SetEnvironmentValue(
        name_, previous_.empty() ? std::nullopt : std::optional<std::string>(previous_),
        encoding_);
  }
  ScopedEnvironmentValue(const ScopedEnvironmentValue&) = delete;
  ScopedEnvironmentValue& operator=(const ScopedEnvironmentValue&) = delete;

 private:
  std::string name_;
  platform::TextEncoding encoding_;
  std::string previous_;
};

}  // namespace quendrix::testing
