// What keeps one member of a rules section from being made as its rule
// says, found without running anything.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "check/check_services.h"
#include "extract/program_lookup.h"

namespace quendrix {

// One member's pair of templates.
struct MemberTemplates {
  std::string_view rawCommand;  // as it stands in the file, quotation marks on
  std::string_view command;     // as the lookup reads it
  std::string_view fileout;     // as the lookup reads it
  // The section's name, standing in for the extension of a file it serves.
  std::string_view extension;
  // The section's Package=, named with a program that is missing.
  std::string_view package;
};

struct MemberProblems {
  std::vector<std::string> command;  // about the commandN line
  std::vector<std::string> name;     // about the fileoutN line
};

// The command is expanded as the plug-in expands it, for a stand-in file
// whose extension is the section's name, and its programs are looked up as
// extraction looks them up. In the POSIX style it is also read for the
// operators: syntax problems, a quote that nothing closes, a > into another
// file than the member's. Every command must name fileout or redirect into
// it. Placeholders written in another case or misspelt, in either template,
// and names the file manager cannot show are pointed out too.
MemberProblems FindMemberProblems(const MemberTemplates& member,
                                  const CheckServices& services,
                                  const ProgramLookup& lookup);

// What a command is for: one member's (commandN), the list program's
// (list=), or the command that makes any listed member (extract=).
enum class CommandKind { kMember, kList, kExtract };

// The problems of one command of `kind`, as FindMemberProblems finds them
// for a member's: a list command prints names and writes no file, so it
// names neither fileout nor a > and its output is not redirected; an
// extract command names [M], the listed member it is to make.
std::vector<std::string> FindCommandProblems(std::string_view rawCommand,
                                             std::string_view command,
                                             std::string_view extension, CommandKind kind,
                                             const CheckServices& services,
                                             const ProgramLookup& lookup,
                                             std::string_view package = {});

// Whether a command value, as it stands in the rules file (`raw`, quotation
// marks still on), begins with a quoted program path and ends with a quoted
// argument, so that the reader's removal of one enclosing pair of
// quotation marks leaves a command line whose program cannot be found.
bool LosesItsQuotes(std::string_view raw);

}  // namespace quendrix
