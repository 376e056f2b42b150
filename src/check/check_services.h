// What the rules check asks of the system, as functions, so that the check
// itself is pure logic that tests run for both path styles on any machine.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/platform.h"
#include "rules/environment_tokens.h"

namespace quendrix {

struct CheckServices {
  platform::PathStyle pathStyle = platform::kPathStyle;
  // The folder of the plug-in whose rules are checked, with its trailing
  // separator: where bare program names are looked for first.
  std::string pluginDir;
  // Environment variables, for %NAME% tokens and for PATH in the reports.
  EnvironmentLookup environment;
  // Whether a program the system can start is at a path.
  std::function<bool(const std::string&)> isProgram;
  // The program of a bare name on the system's search path.
  std::function<std::optional<std::string>(const std::string&)> searchPath;
  // Whether something other than a folder is at a path: tells a file that
  // may not be executed from one that is not there.
  std::function<bool(const std::string&)> fileExists;

  // The platform's own.
  static CheckServices Platform(std::string pluginDir);
};

}  // namespace quendrix
