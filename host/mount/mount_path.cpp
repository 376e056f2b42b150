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

}  // namespace

Node ResolveMountPath(std::string_view mountPath, const std::string& source,
                      bool sourceIsFile, const EntryKindLookup& kindOf) {
  const std::vector<std::string_view> parts = PartsOf(mountPath);
  if (sourceIsFile) {
    if (parts.empty()) return {NodeKind::kMemberFolder, source, {}};
    if (parts.size() == 1) {
      return {NodeKind::kMember, source, std::string(parts[0])};
    }
    return {};
  }

  const std::string real = Join(source, parts, parts.size());
  if (parts.empty() || kindOf(real) != EntryKind::kMissing) {
    return {NodeKind::kMirror, real, {}};
  }
  const std::size_t count = parts.size();
  // The folder of a file's members: "NAME#" beside the regular file NAME.
  if (const std::optional<std::string_view> file =
          FileOfMemberFolder(parts[count - 1])) {
    const std::string path = Join(source, parts, count - 1) + '/' +
                             std::string(*file);
    if (kindOf(path) == EntryKind::kFile) {
      return {NodeKind::kMemberFolder, path, {}};
    }
  }
  // A member in such a folder, unless a real "NAME#" is there.
  if (count >= 2) {
    if (const std::optional<std::string_view> file =
            FileOfMemberFolder(parts[count - 2])) {
      const std::string folder = Join(source, parts, count - 1);
      const std::string path = Join(source, parts, count - 2) + '/' +
                               std::string(*file);
      if (kindOf(folder) == EntryKind::kMissing &&
          kindOf(path) == EntryKind::kFile) {
        return {NodeKind::kMember, path, std::string(parts[count - 1])};
      }
    }
  }
  return {};
}

}  // namespace quendrix::host::mount
