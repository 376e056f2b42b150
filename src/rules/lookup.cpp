#include "rules/lookup.h"

#include <string>

#include "rules/placeholder.h"

namespace quendrix {
namespace {

// The profile reader is asked with buffers of these sizes, so values come
// back cut to one byte less.
constexpr std::size_t kValueBuffer = kTemplateLimit + 1;
constexpr std::size_t kFlagBuffer = 2;
constexpr std::size_t kSectionBuffer = kSectionNameLimit + 1;

std::uint8_t ShowStateOf(std::string_view text) {
  if (text.size() == 1 && text[0] >= '0' && text[0] <= '9') {
    return static_cast<std::uint8_t>(text[0] - '0');
  }
  return 0;
}

// ListTimeout= in whole seconds; anything else, or a value out of range,
// gives the default.
std::chrono::seconds ListTimeoutOf(std::string_view text) {
  if (text.empty() || text.size() > 9) return kDefaultListTimeout;
  long seconds = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return kDefaultListTimeout;
    seconds = seconds * 10 + (c - '0');
  }
  if (seconds < 1 || seconds > kLongestListTimeout.count()) return kDefaultListTimeout;
  return std::chrono::seconds(seconds);
}

}  // namespace

LookupResult LookupRules(std::string_view extension, const RulesSource& rules,
                         ExpansionContext context, RuleSettings& settings,
                         EntryTable& table) {
  std::string section(extension.substr(0, kSectionNameLimit));
  // One synonym step: a synonym key in the section it names is not followed.
  section = rules.Read(section, "synonym", section, kSectionBuffer);

  settings.logFlag = rules.Read(section, "log", "0", kFlagBuffer);
  settings.shortFileNameFlag =
      rules.Read(section, "ShortFileName", "0", kFlagBuffer);
  settings.showConsole =
      ShowStateOf(rules.Read(section, "ShowConsole", "0", kFlagBuffer));
  settings.ignoreExitCodeFlag =
      rules.Read(section, "IgnoreExitCode", "0", kFlagBuffer);
  settings.cacheFlag = rules.Read(section, "Cache", "0", kFlagBuffer);
  settings.package = rules.Read(section, "Package", "", kValueBuffer);
  context.shortFileName = IsOn(settings.shortFileNameFlag);

  // Every lookup starts from an empty table, so a file whose section yields
  // no complete pair never shows the members of the file looked up before.
  table.Clear();
  for (std::int32_t n = 1; n <= kMaxEntries; ++n) {
    const std::string number = std::to_string(n);
    const std::string command =
        rules.Read(section, "command" + number, kNotFound, kValueBuffer);
    const std::string fileout =
        rules.Read(section, "fileout" + number, kNotFound, kValueBuffer);
    if (command == kNotFound || fileout == kNotFound) break;

    table.ResizeTo(n);
    ExpandedEntry expanded = ExpandEntry(command, fileout, context);
    Entry* entry = table.Find(n);
    entry->command = std::move(expanded.command);
    entry->fileout = std::move(expanded.fileout);
    entry->programInPluginDir = expanded.programInPluginDir;
    entry->commandCut = expanded.cut;
  }

  LookupResult result{rules.Read(section, "command1", kNotFound, kValueBuffer),
                      section, std::nullopt};
  const std::string list = rules.Read(section, "list", kNotFound, kValueBuffer);
  if (list != kNotFound) {
    ListRules listRules;
    ExpandedEntry expanded = ExpandEntry(list, {}, context);
    listRules.command = std::move(expanded.command);
    listRules.programInPluginDir = expanded.programInPluginDir;
    listRules.commandCut = expanded.cut;
    const std::string extract = rules.Read(section, "extract", kNotFound, kValueBuffer);
    if (extract != kNotFound) {
      ExpandedEntry expandedExtract = ExpandEntry(extract, {}, context);
      listRules.extractCommand = std::move(expandedExtract.command);
      listRules.extractProgramInPluginDir = expandedExtract.programInPluginDir;
      listRules.extractCut = expandedExtract.cut;
    }
    listRules.timeout = ListTimeoutOf(rules.Read(section, "ListTimeout", "", kValueBuffer));
    result.list = std::move(listRules);
  }
  return result;
}

std::optional<Entry> ListedMemberEntry(const ListRules& list, std::string_view name,
                                       platform::PathStyle style) {
  if (!list.extractCommand) return std::nullopt;
  Entry listed;
  listed.command =
      ReplacePlaceholder(*list.extractCommand, kMemberPlaceholder, name, style, kCommandLimit);
  listed.programInPluginDir = list.extractProgramInPluginDir;
  listed.commandCut = list.extractCut;
  listed.fileout = std::string(name);
  return listed;
}

}  // namespace quendrix
