// POSIX: the file operations of the cache of made members: locks, fast
// copies, a folder's files, and a folder of this user's alone.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cstring>
#include <utility>

#include "platform/platform.h"
#include "platform/posix/descriptor.h"

namespace quendrix::platform {
namespace {

// Bytes moved by one copy_file_range step: large enough that the calls cost
// nothing, small enough that progress is reported and a stop heard often.
constexpr std::int64_t kCopyStep = std::int64_t{16} << 20;

// Copies with read and write, where copy_file_range is refused (across
// file systems on older kernels, or on a file system without it).
bool CopyByReading(int from, int to, std::int64_t offset, std::int64_t length,
                   const std::function<bool(std::int64_t)>& progress, bool& stopped) {
  static constexpr std::size_t kChunk = 1 << 20;
  std::string buffer(kChunk, '\0');
  while (offset < length) {
    const auto want = static_cast<std::size_t>(std::min<std::int64_t>(kChunk, length - offset));
    const ssize_t got = pread(from, buffer.data(), want, offset);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    for (ssize_t done = 0; done < got;) {
      const ssize_t put = write(to, buffer.data() + done, static_cast<std::size_t>(got - done));
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) return false;
      done += put;
    }
    offset += got;
    if (progress && !progress(offset)) {
      stopped = true;
      return false;
    }
  }
  return true;
}

}  // namespace

FileLock::~FileLock() {
  if (handle_ != kNone) close(static_cast<int>(handle_));
}

FileLock::FileLock(FileLock&& other) noexcept : handle_(std::exchange(other.handle_, kNone)) {}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
  if (this != &other) {
    if (handle_ != kNone) close(static_cast<int>(handle_));
    handle_ = std::exchange(other.handle_, kNone);
  }
  return *this;
}

FileLock FileLock::TryTake(const std::string& path, TextEncoding /*encoding*/, bool* busy) {
  FileLock lock;
  if (busy != nullptr) *busy = false;
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return lock;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (busy != nullptr) *busy = errno == EWOULDBLOCK || errno == EINTR;
    close(fd);
    return lock;
  }
  lock.handle_ = fd;
  return lock;
}

std::optional<std::vector<FolderEntry>> ListFolder(const std::string& path,
                                                   TextEncoding /*encoding*/) {
  DIR* folder = opendir(path.c_str());
  if (folder == nullptr) return std::nullopt;
  std::vector<FolderEntry> entries;
  while (const dirent* entry = readdir(folder)) {
    struct stat info {};
    if (fstatat(dirfd(folder), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(info.st_mode)) {
      continue;
    }
    entries.push_back(FolderEntry{entry->d_name, static_cast<std::int64_t>(info.st_size),
                                  static_cast<std::int64_t>(info.st_mtime)});
  }
  closedir(folder);
  return entries;
}

CopyOutcome CopyFilePrefix(const std::string& from, const std::string& to, std::int64_t length,
                           const std::function<bool(std::int64_t)>& progress, bool privateFile,
                           TextEncoding /*encoding*/) {
  const Descriptor source(open(from.c_str(), O_RDONLY | O_CLOEXEC));
  if (!source.IsOpen()) return CopyOutcome::kFailed;
  unlink(to.c_str());
  const Descriptor target(open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                               privateFile ? 0600 : 0666));
  if (!target.IsOpen()) return CopyOutcome::kFailed;
  bool stopped = false;
  bool copied = false;
  // A reflink shares the blocks of the source: no byte is copied, whatever
  // the size. It clones the whole file, which is then cut to the member.
  if (ioctl(target.get(), FICLONE, source.get()) == 0) {
    copied = ftruncate(target.get(), length) == 0;
    if (copied && progress && !progress(length)) stopped = true;
  } else {
    std::int64_t offset = 0;
    bool fallback = false;
    while (offset < length) {
      loff_t in = offset;
      const ssize_t moved = copy_file_range(
          source.get(), &in, target.get(), nullptr,
          static_cast<std::size_t>(std::min(kCopyStep, length - offset)), 0);
      if (moved < 0 && errno == EINTR) continue;
      if (moved < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL ||
                        errno == EOPNOTSUPP)) {
        fallback = true;
        break;
      }
      if (moved <= 0) break;
      offset += moved;
      if (progress && !progress(offset)) {
        stopped = true;
        break;
      }
    }
    if (fallback) {
      copied = CopyByReading(source.get(), target.get(), offset, length, progress, stopped);
    } else {
      copied = !stopped && offset == length;
    }
    if (copied && length == 0 && progress && !progress(0)) stopped = true;
  }
  if (stopped || !copied) {
    unlink(to.c_str());
    return stopped ? CopyOutcome::kStopped : CopyOutcome::kFailed;
  }
  return CopyOutcome::kCopied;
}

bool AppendBytes(const std::string& path, std::string_view bytes, TextEncoding /*encoding*/) {
  const Descriptor file(open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC));
  if (!file.IsOpen()) return false;
  for (std::size_t done = 0; done < bytes.size();) {
    const ssize_t put = write(file.get(), bytes.data() + done, bytes.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    done += static_cast<std::size_t>(put);
  }
  return true;
}

std::optional<FileTail> ReadFileTail(const std::string& path, std::size_t count,
                                     TextEncoding /*encoding*/) {
  const Descriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
  struct stat info {};
  if (!file.IsOpen() || fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
      info.st_size < static_cast<off_t>(count)) {
    return std::nullopt;
  }
  FileTail tail;
  tail.size = static_cast<std::int64_t>(info.st_size);
  tail.bytes.resize(count);
  std::size_t done = 0;
  while (done < count) {
    const ssize_t got = pread(file.get(), tail.bytes.data() + done, count - done,
                              info.st_size - static_cast<off_t>(count - done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return std::nullopt;
    done += static_cast<std::size_t>(got);
  }
  return tail;
}

bool RenameReplacing(const std::string& from, const std::string& to, TextEncoding /*encoding*/) {
  return rename(from.c_str(), to.c_str()) == 0;
}

bool TouchFile(const std::string& path, TextEncoding /*encoding*/) {
  return utimensat(AT_FDCWD, path.c_str(), nullptr, 0) == 0;
}

std::optional<std::uint64_t> FreeSpaceAt(const std::string& path, TextEncoding /*encoding*/) {
  struct statvfs info {};
  if (statvfs(path.c_str(), &info) != 0) return std::nullopt;
  // A file system that tells no size (many FUSE ones) tells no free space
  // either. The blocks kept for root are root's to use.
  if (info.f_blocks == 0) return std::nullopt;
  const auto blocks = geteuid() == 0 ? info.f_bfree : info.f_bavail;
  return static_cast<std::uint64_t>(blocks) * info.f_frsize;
}

std::optional<std::string> MakePrivateFolder(const std::string& path, TextEncoding encoding) {
  const std::size_t parentEnd = path.find_last_of('/', path.size() > 1 ? path.size() - 2 : 0);
  if (parentEnd != std::string::npos && parentEnd > 0) {
    MakeDirectories(path.substr(0, parentEnd), encoding, FolderAccess::kOwnerOnly);
  }
  if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
    return "it cannot be made: " + std::string(std::strerror(errno));
  }
  struct stat info {};
  if (lstat(path.c_str(), &info) != 0) return "it cannot be examined";
  if (S_ISLNK(info.st_mode)) return "a link stands in its place";
  if (!S_ISDIR(info.st_mode)) return "something that is no folder stands in its place";
  if (info.st_uid != geteuid()) return "it belongs to another user";
  if ((info.st_mode & 0077) != 0 && chmod(path.c_str(), 0700) != 0) {
    return "others may use it, and its permissions cannot be narrowed";
  }
  // A folder on a read-only file system (or one its owner made read-only)
  // would fail later at each lock and entry; said here, the reason is the
  // system's own words once.
  if (access(path.c_str(), W_OK | X_OK) != 0) {
    return "it cannot be written: " + std::string(std::strerror(errno));
  }
  return std::nullopt;
}

}  // namespace quendrix::platform
