#include "cache/member_keys.h"

#include "extract/cached_extraction.h"
#include "platform/platform.h"
#include "plugin/archive_name.h"
#include "plugin/plugin.h"
#include "plugin/rules_places.h"

namespace quendrix::host {
namespace {

constexpr platform::TextEncoding kKeyEncoding = platform::TextEncoding::kUtf8;

}  // namespace

std::string UsersCacheFolder() {
  // The same variables, read the same way, as the plug-in's wide side.
  return CacheFolder(platform::kPathStyle, [](std::string_view name) {
    return platform::EnvironmentPath(std::string(name), kKeyEncoding);
  });
}

std::optional<MemberCache> UsersMemberCache() {
  std::string folder = UsersCacheFolder();
  if (folder.empty()) return std::nullopt;
  return MemberCache(std::move(folder), kKeyEncoding);
}

std::string_view WhereTheCacheFolderIs() {
  return platform::kPathStyle == platform::PathStyle::kWindows
             ? "%LOCALAPPDATA%\\quendrix\\cache\\, and LOCALAPPDATA is not set"
             : "$XDG_CACHE_HOME/quendrix/members/ (when XDG_CACHE_HOME is an absolute path), "
               "else ~/.cache/quendrix/members/, and neither variable is set";
}

PluginPrograms::PluginPrograms(std::string pluginDir) : pluginDir_(std::move(pluginDir)) {
  // The lookup the plug-in's extraction uses (Plugin::ProgramLookupOf),
  // with the services of its wide side.
  const PluginServices services = PluginServices::Platform(kKeyEncoding);
  lookup_.style = services.pathStyle;
  lookup_.pluginDir = pluginDir_;
  lookup_.isProgram = services.isProgram;
  lookup_.searchPath = services.searchPath;
}

std::optional<Sha256Digest> MemberDigest(const std::string& file, const Entry& entry,
                                         const PluginPrograms& programs) {
  const std::optional<MemberKey> key = MemberKeyOf(file, entry, programs.lookup(), kKeyEncoding);
  if (!key) return std::nullopt;
  return DigestOf(*key);
}

std::optional<FileRules> RulesOfFile(const std::string& pluginDir, const std::string& file) {
  // The steps of the plug-in's own lookup (Plugin::Lookup), in its order.
  const PluginServices services = PluginServices::Platform(kKeyEncoding);
  const std::optional<RulesChoice> choice = ChooseRules(
      RulesFolders(services.pathStyle, pluginDir, services.rulesFolderVariable),
      services.fileExists);
  if (!choice) return std::nullopt;
  return RulesOfFileIn(pluginDir, choice->rulesPath, file);
}

FileRules RulesOfFileIn(const std::string& pluginDir, const std::string& rulesPath,
                        const std::string& file) {
  const PluginServices services = PluginServices::Platform(kKeyEncoding);
  const ArchiveName name = SplitArchiveName(file, services.pathStyle);
  const std::unique_ptr<RulesSource> rules = services.openRules(rulesPath);
  ExpansionContext context;
  context.pathStyle = services.pathStyle;
  context.pluginDir = pluginDir;
  context.archivePath = file;
  context.baseName = name.baseName;
  context.extension = name.extension;
  context.environment = services.environment;
  context.shortPathOf = services.shortPathOf;
  FileRules found;
  found.result = LookupRules(name.extension, *rules, context, found.settings, found.table);
  return found;
}

std::optional<Entry> EntryOfMember(const FileRules& rules, std::string_view name) {
  // The plug-in's headers give the numbered members first, then the
  // listed ones: a host that makes the first member of a name makes this.
  for (std::int32_t n = 1; n <= rules.table.UpperBound(); ++n) {
    const Entry* entry = rules.table.Find(n);
    if (entry != nullptr && entry->fileout == name) return *entry;
  }
  if (!rules.result.list) return std::nullopt;
  return ListedMemberEntry(*rules.result.list, name, platform::kPathStyle);
}

}  // namespace quendrix::host
