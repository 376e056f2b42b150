// quendrix check: every problem of a whole rules file, without running
// anything.
#pragma once

#include <iosfwd>
#include <memory>
#include <string>

#include "exit_codes.h"
#include "host_command.h"

namespace quendrix::host {

// Checks the rules file `rulesFile`, or, when it is empty, the one the
// plug-in at `pluginPath` would take, with programs looked up as that
// plug-in looks them up. Prints each problem as "FILE:LINE: [section] TEXT"
// and then one line of counts. kExitDone when there is no problem,
// kExitMemberFailed when there is one, kExitRefused when there is no rules
// file or it cannot be read.
int CheckRulesFile(const std::string& pluginPath, const std::string& rulesFile,
                   std::ostream& out, std::ostream& err);

// The command `check [RULES_FILE]`, which runs CheckRulesFile.
std::unique_ptr<HostCommand> CheckCommand();

}  // namespace quendrix::host
