// quendrix explain: what quendrix's own rules make of a file, without
// running anything.
#pragma once

#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>

#include "check/check_services.h"
#include "exit_codes.h"
#include "extract/program_lookup.h"
#include "host_command.h"

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

// The command `explain FILE [--run-list]`, which runs ExplainRules.
std::unique_ptr<HostCommand> ExplainCommand();

// `command` for display on one line, with a second line that marks each
// "fileout" (where extraction puts the destination) with carets; the second
// line is empty when there is none. Control characters are shown as \n, \t
// or \xNN, so the line stays one line.
struct MarkedCommand {
  std::string line;
  std::string marks;
};
MarkedCommand MarkDestination(std::string_view command);

// What a command line of a section is for, which decides what explain
// marks in it besides fileout.
enum class CommandRole {
  kMember,   // commandN: one without fileout is pointed out
  kList,     // list=
  kExtract,  // extract=: [M], the listed member's name, is marked too
};

// Prints `command` after `label` as it runs (a bare name as the program it
// finds, as the log writes it), the marks under it, and a line per program
// saying where it was found. Returns the width of the labels, so that the
// lines that follow line up.
std::size_t ShowCommandLine(std::ostream& out, const std::string& label,
                            const std::string& command, bool programInPluginDir,
                            CommandRole role, const ProgramLookup& programs,
                            const CheckServices& services);

}  // namespace quendrix::host
