#include "commands/explain_command.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <ostream>

#include "platform/platform.h"
#include "plugin/archive_name.h"
#include "plugin/plugin.h"
#include "plugin/rules_places.h"
#include "extract/log.h"
#include "commands/rule_problems.h"
#include "text/utf8_path.h"
#include "rules/lookup.h"
#include "rules/placeholder.h"
#include "format/profile_text.h"

namespace quendrix::host {
namespace {

namespace fs = std::filesystem;

std::optional<std::string> ReadBytes(const std::string& path) {
  std::ifstream in(PathOf(path), std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string DirectoryOf(const std::string& pluginPath) {
  std::error_code error;
  std::string dir = TextOf(fs::absolute(PathOf(pluginPath), error)
                               .make_preferred()
                               .parent_path());
  if (dir.empty() || dir.back() != platform::kPathSeparator) {
    dir += platform::kPathSeparator;
  }
  return dir;
}

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

std::string_view PlaceName(RulesPlace place) {
  switch (place) {
    case RulesPlace::kPlugin: return "the plug-in's folder";
    case RulesPlace::kUser: return "the user's";
    case RulesPlace::kSystem: return "the system's";
  }
  return {};
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

MarkedCommand MarkDestination(std::string_view command) {
  MarkedCommand marked;
  const std::string_view word = kDestinationPlaceholder;
  // Occurrences are found as extraction finds them: left to right, each
  // after the end of the one before.
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

int ExplainRules(const std::string& pluginPath, const std::string& file,
                 std::ostream& out, std::ostream& err) {
  const std::string pluginDir = DirectoryOf(pluginPath);
  // The same places, reader and lookups as the plug-in's own.
  const PluginServices services =
      PluginServices::Platform(platform::TextEncoding::kUtf8);
  const std::vector<RulesFolder> folders = RulesFolders(
      platform::kPathStyle, pluginDir, services.rulesFolderVariable);
  const std::optional<RulesChoice> choice =
      ChooseRules(folders, services.fileExists);
  const std::optional<std::string> bytes =
      choice ? ReadBytes(choice->rulesPath) : std::nullopt;
  if (!bytes) {
    err << "quendrix: there is no rules file in any of these places:\n";
    for (const RulesFolder& folder : folders) {
      err << "  " << folder.dir << kRulesFileName << " (" << PlaceName(folder.place)
          << ")\n";
    }
    return kExitRefused;
  }
  const std::string& rulesPath = choice->rulesPath;
  const ProfileText text(*bytes);

  const ArchiveName name = SplitArchiveName(file, platform::kPathStyle);
  const std::unique_ptr<RulesSource> rules = services.openRules(rulesPath);
  ExpansionContext context;
  context.pluginDir = pluginDir;
  context.archivePath = file;
  context.baseName = name.baseName;
  context.extension = name.extension;
  context.environment = services.environment;
  context.shortPathOf = services.shortPathOf;
  RuleSettings settings;
  EntryTable table;
  const LookupResult result =
      LookupRules(name.extension, *rules, context, settings, table);

  const std::string asked(
      std::string_view(name.extension).substr(0, kSectionNameLimit));
  out << "file        " << file << "\n"
      << "rules file  " << rulesPath << "\n";
  // The places in the order they are looked at, up to the one in use.
  const char* label = "looked at   ";
  for (const RulesFolder& folder : folders) {
    const bool taken = folder.place == choice->place;
    out << label << folder.dir << kRulesFileName << " ("
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
      << Flag("IgnoreExitCode", settings.ignoreExitCodeFlag) << "\n";
  if (IsOn(settings.logFlag)) {
    if (choice->logDir.empty()) {
      out << "log         nowhere: there is no user's folder to write it to\n";
    } else {
      out << "log         each extraction's command line is added to "
          << LogPath(choice->logDir) << "\n";
    }
  }

  const std::int32_t members = table.UpperBound();
  out << "members     " << members << "\n";
  for (std::int32_t n = 1; n <= members; ++n) {
    const Entry& entry = *table.Find(n);
    const std::string number = std::to_string(n);
    out << "\nmember " << number << "    " << entry.fileout << "\n";
    const MarkedCommand marked = MarkDestination(entry.command);
    const std::string label = "  command" + number + "  ";
    out << label << marked.line << "\n";
    if (marked.marks.empty()) {
      out << std::string(label.size(), ' ')
          << "(no fileout: the program is not told where to write the member)\n";
    } else {
      out << std::string(label.size(), ' ') << marked.marks
          << " the destination\n";
    }
  }

  std::vector<std::string> problems = FindRuleProblems(*keys, members);
  if (result.section != asked) {
    const std::optional<std::string_view> further =
        text.Find(result.section, "synonym");
    if (further && *further != result.section) {
      problems.push_back("the synonym key of [" + result.section +
                         "] is not followed: only one synonym step is taken");
    }
  }
  for (std::int32_t n = 1; n <= members; ++n) {
    const std::string key = "command" + std::to_string(n);
    const std::optional<std::string_view> raw = text.Find(result.section, key);
    if (raw && LosesItsQuotes(*raw)) {
      problems.push_back(
          key + " begins and ends with a quotation mark, and that pair is "
                "removed when the value is read, so its program cannot start: "
                "wrap the whole value in one more pair of quotation marks");
    }
  }
  const bool refused = result.command1 == kNotFound;
  if (!problems.empty()) {
    out << "\nproblems\n";
    for (const std::string& problem : problems) out << "  " << problem << "\n";
  }
  if (refused) return kExitRefused;
  return problems.empty() ? kExitDone : kExitMemberFailed;
}

}  // namespace quendrix::host
