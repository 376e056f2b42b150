// POSIX: the process environment.
#include <stdlib.h>

#include "platform/platform.h"

namespace quendrix::platform {

std::string EnvironmentValue(const std::string& name,
                             TextEncoding /*encoding*/) {
  const char* value = getenv(name.c_str());
  return value != nullptr ? std::string(value) : std::string();
}

// File names are bytes here, so a folder's name is its variable's value.
std::string EnvironmentPath(const std::string& name, TextEncoding encoding) {
  return EnvironmentValue(name, encoding);
}

bool SetEnvironmentValue(const std::string& name,
                         const std::optional<std::string>& value,
                         TextEncoding /*encoding*/) {
  if (value.has_value()) return setenv(name.c_str(), value->c_str(), 1) == 0;
  return unsetenv(name.c_str()) == 0;
}

}  // namespace quendrix::platform
