#include "commands/explain_cache.h"

#include <filesystem>
#include <ostream>

#include "text/utf8_path.h"

namespace quendrix::host {

ExplainedCache::ExplainedCache(bool on, const std::string& pluginDir, const std::string& file)
    : on_(on), file_(file), pluginDir_(pluginDir) {
  if (!on_) return;
  cache_ = UsersMemberCache();
  if (!cache_) return;
  // A folder not made yet is left so: explain makes nothing.
  const std::string& folder = cache_->folder();
  std::error_code error;
  made_ = std::filesystem::exists(
      std::filesystem::symlink_status(PathOf(folder.substr(0, folder.size() - 1)), error));
  if (made_) problem_ = cache_->Prepare().value_or(std::string());
}

void ExplainedCache::ShowFolder(std::ostream& out) const {
  if (!on_) return;
  out << "cache       ";
  if (!cache_) {
    out << "none: there is no cache folder (" << WhereTheCacheFolderIs()
        << "), so every extraction runs its program\n";
  } else if (!problem_.empty()) {
    out << cache_->folder() << " cannot be used (" << problem_
        << "), so every extraction runs its program\n";
  } else {
    out << "made members are kept in " << cache_->folder()
        << (made_ ? "" : " (not made yet)") << " (quendrix cache)\n";
  }
}

std::optional<std::string> ExplainedCache::StateOf(const Entry& entry) const {
  if (!Keeps()) return std::nullopt;
  if (!made_) return "no";
  const std::optional<Sha256Digest> digest = MemberDigest(file_, entry, pluginDir_);
  if (!digest) return "no (the file cannot be examined)";
  const std::optional<std::int64_t> size = cache_->Find(*digest, false);
  if (!size) return "no";
  return "yes, " + std::to_string(*size) + (*size == 1 ? " byte" : " bytes");
}

}  // namespace quendrix::host
