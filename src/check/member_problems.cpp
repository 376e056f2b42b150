#include "check/member_problems.h"

#include <cstdio>

#include "check/placeholder_slips.h"
#include "check/program_report.h"
#include "format/command_pipeline.h"
#include "format/member_list.h"
#include "format/profile_value.h"
#include "format/shell_words.h"
#include "rules/entry.h"
#include "rules/expand.h"
#include "rules/file_rules.h"
#include "rules/placeholder.h"

namespace quendrix {
namespace {

using platform::PathStyle;

// Characters a Windows file name cannot hold, besides the separators, which
// make folders of a member's name.
constexpr std::string_view kNotInWindowsNames = "<>:\"|?*";

// A control character as a user can type it into the rules: C0 ones and
// DEL as their escapes, C1 ones by their code point.
std::string ShownCharacter(std::uint32_t c) {
  switch (c) {
    case '\t': return "\\t";
    case '\n': return "\\n";
    case '\r': return "\\r";
    default: break;
  }
  char code[12];
  if (c >= 0x80) {
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
  } else {
    std::snprintf(code, sizeof code, "\\x%02x", static_cast<unsigned>(c));
  }
  return code;
}

void FindNameProblems(std::string_view name, PathStyle style, std::vector<std::string>& problems) {
  if (name.empty()) {
    problems.push_back("the member has no name");
    return;
  }
  if (const std::optional<std::uint32_t> control = FirstControlCharacter(name)) {
    problems.push_back("the name holds a control character (" + ShownCharacter(*control) +
                       "), which the file manager cannot show");
  }
  // A / (on Windows also a \) makes folders of a member's name; each part
  // must name a folder or file below the destination.
  const std::string_view separators = style == PathStyle::kWindows ? "/\\" : "/";
  if (separators.find(name.front()) != std::string_view::npos) {
    problems.push_back("the name starts with a folder separator, so it would leave the "
                       "destination folder; hosts leave the member out");
  } else {
    for (std::size_t start = 0;;) {
      const std::size_t end = std::min(name.find_first_of(separators, start), name.size());
      const std::string_view part = name.substr(start, end - start);
      if (part.empty() || part == "." || part == "..") {
        problems.push_back("the name has an empty, . or .. folder part, which would lead "
                           "out of the destination folder or to no file; hosts leave the "
                           "member out");
        break;
      }
      if (end == name.size()) break;
      start = end + 1;
    }
  }
  if (style == PathStyle::kWindows) {
    const std::size_t at = name.find_first_of(kNotInWindowsNames);
    if (at != std::string_view::npos) {
      problems.push_back("the name holds " + std::string(1, name[at]) +
                         ", which no Windows file name may hold, so the file manager "
                         "cannot show or copy the member");
    }
  }
  for (std::string& slip : FindNamePlaceholderSlips(name)) problems.push_back(std::move(slip));
}

}  // namespace

bool LosesItsQuotes(std::string_view raw) {
  // The reader removes a pair of enclosing quotation marks, which is what a
  // value written as "C:\Program Files\conv.exe" "filein" "fileout" meets:
  // the pair it loses is the start of the program's path and the end of the
  // last argument. What is left then has a quotation mark that closes a
  // word no quotation mark opened; a value wrapped once more keeps its own
  // pairs whole.
  if (raw.size() < 2 || raw.front() != '"' || raw.back() != '"') return false;
  const std::string_view read = raw.substr(1, raw.size() - 2);
  const std::size_t first = read.find('"');
  if (first == std::string_view::npos || first == 0) return false;
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  return !blank(read[first - 1]) &&
         (first + 1 == read.size() || blank(read[first + 1]));
}

MemberProblems FindMemberProblems(const MemberTemplates& member,
                                  const CheckServices& services,
                                  const ProgramLookup& lookup) {
  MemberProblems problems;
  FindNameProblems(member.fileout, services.pathStyle, problems.name);
  problems.command = FindCommandProblems(member.rawCommand, member.command, member.extension,
                                         CommandKind::kMember, services, lookup, member.package);
  return problems;
}

std::vector<std::string> FindCommandProblems(std::string_view rawCommand,
                                             std::string_view command,
                                             std::string_view extension, CommandKind kind,
                                             const CheckServices& services,
                                             const ProgramLookup& lookup,
                                             std::string_view package) {
  std::vector<std::string> found;
  if (ProfileAnswer(rawCommand, {}, rawCommand.size() + 1).size() > kTemplateLimit) {
    found.push_back("the command is longer than " + std::to_string(kTemplateLimit) +
                    " characters, and the rest is cut off");
  }
  if (LosesItsQuotes(rawCommand)) {
    found.push_back(
        "the value begins and ends with a quotation mark, and that pair is removed when "
        "the value is read, so its program cannot start: wrap the whole value in one more "
        "pair of quotation marks");
    return found;
  }
  if (command.find_first_not_of(" \t") == std::string_view::npos) {
    found.push_back("the command is empty: it names no program");
    return found;
  }
  for (std::string& slip : FindCommandPlaceholderSlips(command)) {
    found.push_back(std::move(slip));
  }

  // The command as a lookup expands it for a file of this section.
  const ArchiveName name{"archive", std::string(extension)};
  const std::string archive = extension.empty() ? "archive" : "archive." + name.extension;
  const ExpandedEntry expanded =
      ExpandEntry(command, {}, ExpansionContextOf(archive, name, services.pluginDir, services));

  const bool namesDestination = command.find(kDestinationPlaceholder) != std::string_view::npos;
  bool redirectsIntoMember = false;
  if (services.pathStyle == PathStyle::kPosix) {
    const ParsedCommand parsed = ParseCommandLine(expanded.command);
    if (parsed.problem) found.push_back(parsed.problem->text);
    if (parsed.output && kind == CommandKind::kList) {
      found.push_back("a list program's output is read by the plug-in: its names go to "
                      "standard output, so the command has no > FILE");
    } else if (parsed.output) {
      if (parsed.output->path == kDestinationPlaceholder) {
        redirectsIntoMember = true;
      } else {
        found.push_back("> writes into " + parsed.output->path +
                        ", not into the member's file: a rule writes only its member, so "
                        "write > fileout");
      }
    }
  }
  if (kind == CommandKind::kList) {
    if (namesDestination) {
      found.push_back("a list command writes no member, so fileout means nothing in it and "
                      "stays as it is written");
    }
  } else if (!redirectsIntoMember && !namesDestination) {
    found.push_back(
        std::string("the command never names fileout, so its program is not told where to "
                    "write the member: put fileout where the program takes its output file") +
        (services.pathStyle == PathStyle::kPosix ? ", or end the command with > fileout" : ""));
  }
  if (kind == CommandKind::kExtract &&
      command.find(kMemberPlaceholder) == std::string_view::npos) {
    found.push_back("the command never names [M], so every listed member would be made the "
                    "same way: put [M] where the program takes the member's name");
  }
  for (const ProgramChoice& program :
       ResolvePrograms(expanded.command, expanded.programInPluginDir, lookup).programs) {
    if (std::optional<std::string> problem = ProgramProblem(program, services)) {
      if (!package.empty()) *problem += " (it comes with the package " + std::string(package) + ")";
      found.push_back(std::move(*problem));
    }
  }
  return found;
}

}  // namespace quendrix
