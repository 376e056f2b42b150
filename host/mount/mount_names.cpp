#include "mount/mount_names.h"

#include <algorithm>

namespace quendrix::host::mount {

std::optional<std::string> EntryNameObstacle(std::string_view name) {
  if (name.empty()) return "its name is empty";
  if (name == "." || name == "..") {
    return "its name is \"" + std::string(name) +
           "\", which every folder has already";
  }
  if (name.find('/') != std::string_view::npos) {
    return "its name holds a \"/\", which would make it a path";
  }
  if (name.find('\0') != std::string_view::npos) {
    return "its name holds a NUL character";
  }
  if (name.size() > kMaxEntryName) {
    return "its name is " + std::to_string(name.size()) +
           " bytes long, more than the " + std::to_string(kMaxEntryName) +
           " a file name may have";
  }
  return std::nullopt;
}

std::optional<std::string> MemberNameObstacle(std::string_view name) {
  if (name.empty()) return "its name is empty";
  if (name.find('\0') != std::string_view::npos) {
    return "its name holds a NUL character";
  }
  for (std::size_t start = 0;;) {
    const std::size_t end = std::min(name.find('/', start), name.size());
    const std::string_view part = name.substr(start, end - start);
    if (part.empty()) {
      return "its name has an empty part (a \"/\" at its start or end, or two "
             "together)";
    }
    if (part == "." || part == "..") {
      return "its name has a part \"" + std::string(part) +
             "\", which every folder has already";
    }
    if (part.size() > kMaxEntryName) {
      return "a part of its name is " + std::to_string(part.size()) +
             " bytes long, more than the " + std::to_string(kMaxEntryName) +
             " a file name may have";
    }
    if (end == name.size()) return std::nullopt;
    start = end + 1;
  }
}

std::string_view LastNamePart(std::string_view name) {
  const std::size_t slash = name.rfind('/');
  return slash == std::string_view::npos ? name : name.substr(slash + 1);
}

std::optional<std::string> MemberFolderName(std::string_view fileName) {
  if (fileName.empty() || fileName.size() + 1 > kMaxEntryName) {
    return std::nullopt;
  }
  std::string folder(fileName);
  folder += kMemberFolderMark;
  return folder;
}

std::optional<std::string_view> FileOfMemberFolder(std::string_view folderName) {
  if (folderName.size() < 2 || folderName.back() != kMemberFolderMark) {
    return std::nullopt;
  }
  return folderName.substr(0, folderName.size() - 1);
}

}  // namespace quendrix::host::mount
