#include "mount/mount_names.h"

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
