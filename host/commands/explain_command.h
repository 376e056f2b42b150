// quendrix explain: what quendrix's own rules make of a file, without
// running anything.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>

#include "exit_codes.h"

namespace quendrix::host {

// Reads the rules file the plug-in at `pluginPath` would take with the
// plug-in's own rules code and prints, for `file` (running nothing unless
// asked to run its list program): the rules file, the
// section and any synonym step, the settings, each member's name, command
// line with the place of the destination marked, and the programs it runs
// with where they were found; then the problems the rules check finds in
// the section asked for and the one read, each with its line.
// kExitRefused when the rules file is missing or the file would be refused,
// kExitMemberFailed when there is a problem, else kExitDone.
// A section with list= shows its list and extract commands; with
// `runList` the list program runs too (see RunListForExplain), and a list
// that cannot be had gives kExitMemberFailed.
int ExplainRules(const std::string& pluginPath, const std::string& file,
                 std::ostream& out, std::ostream& err, bool runList = false);

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
