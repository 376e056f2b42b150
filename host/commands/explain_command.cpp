#include "commands/explain_command.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <functional>
#include <cstdio>
#include <memory>
#include <optional>
#include <ostream>

#include "cache/member_keys.h"
#include "check/check_services.h"
#include "check/program_report.h"
#include "check/rules_check.h"
#include "commands/explain_cache.h"
#include "commands/explain_list.h"
#include "commands/rules_in_use.h"
#include "extract/log.h"
#include "extract/program_lookup.h"
#include "format/profile_text.h"
#include "platform/platform.h"
#include "rules/lookup.h"
#include "rules/placeholder.h"
#include "text/utf8_path.h"

namespace quendrix::host {
namespace {

std::string Flag(std::string_view name, const std::string& value) {
  return std::string(name) + "=" + value + (IsOn(value) ? " (on)" : " (off)");
}

void AppendShown(std::string& line, unsigned char c) {
  switch (c) {
    case '\n': line += "\\n"; return;
    case '\r': line += "\\r"; return;
    case '\t': line += "\\t"; return;
    default: break;
  }
  if (c < 0x20 || c == 0x7F) {
    char code[8];
    std::snprintf(code, sizeof code, "\\x%02x", c);
    line += code;
  } else {
    line += static_cast<char>(c);
  }
}

// Columns that `shown` takes on a terminal: a UTF-8 continuation byte adds
// none.
std::size_t Columns(std::string_view shown) {
  std::size_t columns = 0;
  for (const char c : shown) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++columns;
  }
  return columns;
}

// Carets under every `word` of `command` as MarkDestination shows it, found
// as extraction finds them: left to right, each after the end of the one
// before.
MarkedCommand MarkWord(std::string_view command, std::string_view word) {
  MarkedCommand marked;
  std::size_t i = 0;
  while (i < command.size()) {
    if (command.substr(i, word.size()) == word) {
      marked.marks.resize(Columns(marked.line), ' ');
      marked.marks.append(word.size(), '^');
      marked.line += word;
      i += word.size();
    } else {
      AppendShown(marked.line, static_cast<unsigned char>(command[i]));
      ++i;
    }
  }
  return marked;
}

}  // namespace

MarkedCommand MarkDestination(std::string_view command) {
  return MarkWord(command, kDestinationPlaceholder);
}

std::size_t ShowCommandLine(std::ostream& out, const std::string& label,
                            const std::string& command, bool programInPluginDir,
                            CommandRole role, const ProgramLookup& programs,
                            const CheckServices& services) {
  const ResolvedCommand resolved = ResolvePrograms(command, programInPluginDir, programs);
  const MarkedCommand marked = MarkDestination(resolved.line);
  const std::string indent(label.size(), ' ');
  out << label << marked.line << "\n";
  if (!marked.marks.empty()) {
    out << indent << marked.marks << " the destination\n";
  } else if (role == CommandRole::kMember) {
    out << indent << "(no fileout: the program is not told where to write the member)\n";
  }
  if (role == CommandRole::kExtract) {
    const std::string member = MarkWord(resolved.line, kMemberPlaceholder).marks;
    if (!member.empty()) out << indent << member << " the listed member's name\n";
  }
  // Which program runs: a bare name may come from the plug-in's folder, its
  // recipes folder or PATH, and this is the one place that says which.
  std::string programLabel = "  program";
  programLabel.resize(std::max(label.size(), programLabel.size() + 2), ' ');
  for (const ProgramChoice& program : resolved.programs) {
    out << programLabel << DescribeProgram(program, services) << "\n";
  }
  return programLabel.size();
}

int ExplainRules(const std::string& pluginPath, const std::string& file,
                 std::ostream& out, std::ostream& err, bool runList) {
  const std::string pluginDir = PluginDirectoryOf(pluginPath);
  // The same places as the plug-in's own.
  const RulesInUse found = FindRulesInUse(pluginDir, HostLookupServices());
  const std::vector<RulesFolder>& folders = found.folders;
  const std::optional<RulesChoice>& choice = found.choice;
  if (!choice) {
    err << "quendrix: there is no rules file in any of these places:\n";
    ListPlacesLookedAt(folders, err);
    return kExitRefused;
  }
  const std::string& rulesPath = choice->rulesPath;
  std::string why;
  std::optional<std::string> bytes = ReadRulesBytes(rulesPath, why);
  if (!bytes) {
    err << "quendrix: cannot read the rules file " << rulesPath << ": " << why << "\n";
    return kExitRefused;
  }
  const ProfileText text(*bytes);
  const CheckServices checkServices = CheckServices::Platform(pluginDir);
  const ProgramLookup programs = CachedProgramLookup(checkServices);

  // The lookup an open of the file makes, so that the entries (and the
  // keys of the cache) are the plug-in's own.
  const FileRules lookedUp = FileRulesIn(*choice, file, pluginDir, HostLookupServices());
  const RuleSettings& settings = lookedUp.settings;
  const EntryTable& table = lookedUp.entryTable;
  const LookupResult& result = lookedUp.section;

  const std::string asked(
      std::string_view(lookedUp.name.extension).substr(0, kSectionNameLimit));
  out << "file        " << file << "\n"
      << "rules file  " << rulesPath << "\n";
  // The places in the order they are looked at, up to the one in use.
  const char* label = "looked at   ";
  for (const RulesFolder& folder : folders) {
    const bool taken = folder.place == choice->place;
    out << label << folder.RulesPath() << " ("
        << PlaceName(folder.place) << "): " << (taken ? "in use" : "none")
        << "\n";
    label = "            ";
    if (taken) break;
  }
  out << "section     [" << asked << "]";
  if (result.section != asked) {
    out << ", whose synonym key names [" << result.section << "]";
  }
  out << "\n";

  const std::optional<std::vector<std::string_view>> keys =
      text.KeyNames(result.section);
  if (!keys) {
    out << "refused     the rules file has no section [" << result.section
        << "]\n";
    return kExitRefused;
  }
  out << "settings    " << Flag("log", settings.logFlag) << ", "
      << Flag("ShortFileName", settings.shortFileNameFlag)
      << ", ShowConsole=" << static_cast<int>(settings.showConsole) << ", "
      << Flag("IgnoreExitCode", settings.ignoreExitCodeFlag) << ", "
      << Flag("Cache", settings.cacheFlag) << "\n";
  if (IsOn(settings.logFlag)) {
    if (choice->logDir.empty()) {
      out << "log         nowhere: there is no user's folder to write it to\n";
    } else {
      out << "log         each extraction's command line is added to "
          << LogPath(choice->logDir) << "\n";
    }
  }

  const ExplainedCache cache(IsOn(settings.cacheFlag), pluginDir, file);
  cache.ShowFolder(out);

  const std::int32_t members = table.UpperBound();
  out << "members     " << members << "\n";
  for (std::int32_t n = 1; n <= members; ++n) {
    const Entry& entry = *table.Find(n);
    const std::string number = std::to_string(n);
    out << "\nmember " << number << "    " << entry.fileout << "\n";
    const std::size_t labelWidth =
        ShowCommandLine(out, "  command" + number + "  ", entry.command,
                        entry.programInPluginDir, CommandRole::kMember, programs, checkServices);
    if (const std::optional<std::string> state = cache.StateOf(entry)) {
      std::string cachedLabel = "  cached";
      cachedLabel.resize(labelWidth, ' ');
      out << cachedLabel << *state << "\n";
    }
  }

  bool listFailed = false;
  if (result.list) {
    ShowListRules(*result.list, programs, checkServices, out);
    if (runList) {
      // The key of a listed member is that of its extract= command.
      const std::function<std::optional<std::string>(const std::string&)> cachedState =
          [&](const std::string& name) -> std::optional<std::string> {
        const MemberEntry listed = EntryOfMember(lookedUp, table.UpperBound() + 1, name);
        if (!listed.CanMake()) return std::nullopt;
        return cache.StateOf(*listed.entry);
      };
      listFailed = !RunListForExplain(*result.list, settings, programs, out, cachedState);
    } else if (cache.Keeps() && result.list->extractCommand) {
      out << "  cached    which listed members are kept shows with --run-list, which runs the "
             "list program\n";
    }
  } else if (runList) {
    out << "\nlist run    none: the section has no list=\n";
  }

  // The problems of the file's check that concern this file: those of the
  // section asked for (its synonym) and of the section read.
  std::vector<RuleProblem> problems = CheckRules(std::move(*bytes), checkServices).problems;
  std::erase_if(problems, [&](const RuleProblem& problem) {
    return !ProblemOfSection(problem, asked) && !ProblemOfSection(problem, result.section);
  });
  const bool refused = !result.Serves();
  if (!problems.empty()) {
    out << "\nproblems\n";
    for (const RuleProblem& problem : problems) {
      out << "  " << rulesPath << ":" << problem.line << ": [" << problem.section << "] "
          << problem.text << "\n";
    }
  }
  if (refused) return kExitRefused;
  return problems.empty() && !listFailed ? kExitDone : kExitMemberFailed;
}


namespace {

class ExplainVerb final : public HostCommand {
 public:
  CLI::App* AddTo(CLI::App& app) override {
    CLI::App* command = app.add_subcommand(
        "explain", "show what quendrix's rules make of FILE; runs nothing, unless --run-list");
    command->add_option("FILE", file_, "the file to explain")->required();
    command->add_flag("--run-list", runList_,
                      "run the section's list program and show which names it gives");
    return command;
  }

  int Run(const CommandContext& context) override {
    return ExplainRules(context.pluginPath, AbsolutePath(file_), context.out, context.err,
                        runList_);
  }

 private:
  std::string file_;
  bool runList_ = false;
};

}  // namespace

std::unique_ptr<HostCommand> ExplainCommand() { return std::make_unique<ExplainVerb>(); }

}  // namespace quendrix::host
