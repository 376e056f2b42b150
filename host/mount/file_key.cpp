#include "mount/file_key.h"

#include <sys/stat.h>

namespace quendrix::host::mount {
namespace {

std::int64_t Nanoseconds(const timespec& time) {
  return static_cast<std::int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

}  // namespace

std::optional<FileKey> KeyOfFile(const std::string& path) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) return std::nullopt;
  FileKey key;
  key.device = static_cast<std::uint64_t>(status.st_dev);
  key.inode = static_cast<std::uint64_t>(status.st_ino);
  key.size = static_cast<std::int64_t>(status.st_size);
  key.modifiedNanoseconds = Nanoseconds(status.st_mtim);
  key.changedNanoseconds = Nanoseconds(status.st_ctim);
  return key;
}

}  // namespace quendrix::host::mount
