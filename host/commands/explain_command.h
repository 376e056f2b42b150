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
// synonym step, the settings, each member's name and command line with
// the place of the destination marked, and the rules that can never list or
// never start.
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

// Whether a command value, as it stands in the rules file (`raw`, quotation
// marks still on), begins with a quoted program path and ends with a
// quoted argument, so that the reader's removal of one enclosing pair of
// quotation marks leaves a command line whose program cannot be found.
bool LosesItsQuotes(std::string_view raw);

}  // namespace quendrix::host
