// The user's cache of made members and the keys of members in it, found as
// the plug-in finds them, so that the host sees what the plug-in kept: the
// same folder, the same rules lookup, the same program lookup, the same key.
// Every path and text here is UTF-8, as the host hands them to the plug-in.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "extract/member_cache.h"
#include "format/sha256.h"
#include "rules/entry.h"
#include "rules/file_rules.h"

namespace quendrix::host {

// What the host's looks at a file's rules ask of the system: the services
// of the plug-in's wide side, through which the host hands the plug-in its
// UTF-8 paths, so that the host finds the rules file, the section, the
// commands and the programs that an open of the file finds.
LookupServices HostLookupServices();

// The folder of this user's cache, as the plug-in finds it: empty when the
// variables it is made from are not set.
std::string UsersCacheFolder();

// The cache in UsersCacheFolder; nothing when there is no such folder.
std::optional<MemberCache> UsersMemberCache();

// Where the cache folder is looked for, in words for a message when there
// is none: which variables name it.
std::string_view WhereTheCacheFolderIs();

// The digest that names the entry of the member that `entry` makes of
// `file` (its path as the host hands it to the plug-in) under the plug-in
// whose folder is `pluginDir`; nothing when the file cannot be examined,
// and the plug-in keeps nothing then either.
std::optional<Sha256Digest> MemberDigest(const std::string& file, const Entry& entry,
                                         std::string_view pluginDir);

}  // namespace quendrix::host
