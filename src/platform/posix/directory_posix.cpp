// POSIX: whether a file exists, and making directories.
#include <errno.h>
#include <sys/stat.h>

#include "platform/platform.h"

namespace quendrix::platform {

bool FileExists(const std::string& path, TextEncoding /*encoding*/) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool FolderExists(const std::string& path, TextEncoding /*encoding*/) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool MakeDirectories(const std::string& path, TextEncoding /*encoding*/,
                     FolderAccess access) {
  const mode_t mode = access == FolderAccess::kOwnerOnly ? 0700 : 0777;
  // Each directory from the top down: one that exists already is passed
  // over, whoever made it, so two writers making the same folder at once
  // both succeed.
  std::size_t end = 0;
  while (end != std::string::npos) {
    end = path.find('/', end + 1);
    const std::string part = path.substr(0, end);
    if (part.empty()) continue;
    if (mkdir(part.c_str(), mode) != 0 && errno != EEXIST) return false;
  }
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace quendrix::platform
