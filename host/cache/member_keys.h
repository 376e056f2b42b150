// The user's cache of made members and the keys of members in it, found as
// the plug-in finds them, so that the host sees what the plug-in kept: the
// same folder, the same rules lookup, the same program lookup, the same key.
// Every path and text here is UTF-8, as the host hands them to the plug-in.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "extract/member_cache.h"
#include "extract/program_lookup.h"
#include "format/sha256.h"
#include "rules/entry.h"
#include "rules/lookup.h"

namespace quendrix::host {

// The folder of this user's cache, as the plug-in finds it: empty when the
// variables it is made from are not set.
std::string UsersCacheFolder();

// The cache in UsersCacheFolder; nothing when there is no such folder.
std::optional<MemberCache> UsersMemberCache();

// Where the cache folder is looked for, in words for a message when there
// is none: which variables name it.
std::string_view WhereTheCacheFolderIs();

// Where the plug-in whose folder is `pluginDir` (with its trailing
// separator) finds the programs of its commands when it makes a member.
class PluginPrograms {
 public:
  explicit PluginPrograms(std::string pluginDir);
  PluginPrograms(const PluginPrograms&) = delete;
  PluginPrograms& operator=(const PluginPrograms&) = delete;

  const ProgramLookup& lookup() const { return lookup_; }
  const std::string& pluginDir() const { return pluginDir_; }

 private:
  std::string pluginDir_;  // what lookup_.pluginDir points into
  ProgramLookup lookup_;
};

// The digest that names the entry of the member that `entry` makes of
// `file` (its path as the host hands it to the plug-in); nothing when the
// file cannot be examined, and the plug-in keeps nothing then either.
std::optional<Sha256Digest> MemberDigest(const std::string& file, const Entry& entry,
                                         const PluginPrograms& programs);

// The rules that the plug-in at `pluginDir` applies to `file`, as an open
// of the file reads them; nothing when there is no rules file.
struct FileRules {
  RuleSettings settings;
  EntryTable table;
  LookupResult result;
};
std::optional<FileRules> RulesOfFile(const std::string& pluginDir, const std::string& file);
// The same, from the rules file at `rulesPath`.
FileRules RulesOfFileIn(const std::string& pluginDir, const std::string& rulesPath,
                        const std::string& file);

// The entry that makes the member the plug-in lists as `name` under these
// rules: the first numbered member of that name, else the listed member
// made by extract=; nothing when neither makes it.
std::optional<Entry> EntryOfMember(const FileRules& rules, std::string_view name);

}  // namespace quendrix::host
