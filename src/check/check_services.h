// What the rules check asks of the system, as functions, so that the check
// itself is pure logic that tests run for both path styles on any machine.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/platform.h"
#include "rules/file_rules.h"

namespace quendrix {

// What a look at a file's rules asks (rules/file_rules.h): the check asks
// the same of the system as the plug-in's lookup, so that it finds the
// programs and the values of %NAME% tokens that a lookup finds.
struct CheckServices : LookupServices {
  // The folder of the plug-in whose rules are checked, with its trailing
  // separator: where bare program names are looked for first.
  std::string pluginDir;

  // The platform's own, as the host's look at the rules has them (text in
  // UTF-8); on POSIX a program is looked for in the listings of the
  // folders, each listed once, and only a name that is there is asked of
  // the system.
  static CheckServices Platform(std::string pluginDir);
};

}  // namespace quendrix
