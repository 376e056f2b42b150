#include "cache/member_keys.h"

#include "extract/cached_extraction.h"
#include "extract/program_lookup.h"
#include "platform/platform.h"

namespace quendrix::host {
namespace {

constexpr platform::TextEncoding kKeyEncoding = platform::TextEncoding::kUtf8;

}  // namespace

LookupServices HostLookupServices() { return LookupServices::Platform(kKeyEncoding); }

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

std::optional<Sha256Digest> MemberDigest(const std::string& file, const Entry& entry,
                                         std::string_view pluginDir) {
  return MemberDigestOf(file, entry, ProgramLookupOf(pluginDir, HostLookupServices()),
                        kKeyEncoding);
}

}  // namespace quendrix::host
