// POSIX: the state of a file, and removing one.
#include <sys/stat.h>
#include <unistd.h>

#include "platform/platform.h"
#include "platform/posix/file_state.h"

namespace quendrix::platform {

FileState StateOfStatus(const struct stat& info) {
  FileState state;
  state.size = static_cast<std::int64_t>(info.st_size);
  state.modified = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 +
                   info.st_mtim.tv_nsec;
  state.changed = static_cast<std::int64_t>(info.st_ctim.tv_sec) * 1'000'000'000 +
                  info.st_ctim.tv_nsec;
  state.identity = static_cast<std::uint64_t>(info.st_ino) ^
                   (static_cast<std::uint64_t>(info.st_dev) << 32);
  return state;
}

std::optional<FileState> StateOfFile(const std::string& path,
                                     TextEncoding /*encoding*/) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  return StateOfStatus(info);
}

bool RemoveFile(const std::string& path, TextEncoding /*encoding*/) { return unlink(path.c_str()) == 0; }

}  // namespace quendrix::platform
