#include "mount/mount_path.h"

#include <optional>
#include <vector>

#include "mount/mount_names.h"

namespace quendrix::host::mount {
namespace {

std::vector<std::string_view> PartsOf(std::string_view path) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

std::string Join(const std::string& folder,
                 const std::vector<std::string_view>& parts, std::size_t count) {
  std::string path = folder;
  for (std::size_t i = 0; i < count; ++i) {
    path += '/';
    path += parts[i];
  }
  return path;
}

// The parts from `first` up to `end`, "/" between them.
std::string JoinParts(const std::vector<std::string_view>& parts, std::size_t first,
                      std::size_t end) {
  std::string path;
  for (std::size_t i = first; i < end; ++i) {
    if (i > first) path += '/';
    path += parts[i];
  }
  return path;
}

}  // namespace

Node ResolveMountPath(std::string_view mountPath, const std::string& source,
                      bool sourceIsFile, const EntryKindLookup& kindOf) {
  const std::vector<std::string_view> parts = PartsOf(mountPath);
  const std::size_t count = parts.size();
  if (sourceIsFile) {
    if (parts.empty()) return {NodeKind::kMemberFolder, source, {}};
    return {NodeKind::kMemberEntry, source, JoinParts(parts, 0, count)};
  }

  const std::string real = Join(source, parts, count);
  if (parts.empty() || kindOf(real) != EntryKind::kMissing) {
    return {NodeKind::kMirror, real, {}};
  }
  for (std::size_t at = 0; at < count; ++at) {
    const std::optional<std::string_view> file = FileOfMemberFolder(parts[at]);
    if (!file) continue;
    // A real entry of the name is shown as it is.
    if (kindOf(Join(source, parts, at + 1)) != EntryKind::kMissing) continue;
    // Nothing below a part that is not on disk is on disk either, so no
    // later "NAME#" can have a file beside it: this one decides.
    const std::string path = Join(source, parts, at) + '/' + std::string(*file);
    if (kindOf(path) != EntryKind::kFile) return {};
    if (at + 1 == count) return {NodeKind::kMemberFolder, path, {}};
    return {NodeKind::kMemberEntry, path, JoinParts(parts, at + 1, count)};
  }
  return {};
}

}  // namespace quendrix::host::mount
