// quendrix explain: what quendrix's own rules make of a file, without
// running anything.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>

#include "exit_codes.h"

namespace quendrix::host {

// Reads the rules file next to the plug-in at `pluginPath` with the plug-in's
// own rules code and prints, for `file`: the rules file, the section and any
// synonym step, the three settings, each member's name and command line with
// the place of the destination marked, and the rules that can never list.
// kExitRefused when the rules file is missing or the file would be refused,
// kExitMemberFailed when some rule can never list, else kExitDone.
int ExplainRules(const std::string& pluginPath, const std::string& file,
                 std::ostream& out, std::ostream& err);

// `command` for display on one line, with a second line that marks each
// "fileout" (where extraction puts the destination) with carets; the second
// line is empty when there is none. Control characters are shown as \n, \t
// or \xNN, so the line stays one line.
struct MarkedCommand {
  std::string line;
  std::string marks;
};
MarkedCommand MarkDestination(std::string_view command);

}  // namespace quendrix::host
