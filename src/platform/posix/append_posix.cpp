// POSIX: appending a line to the operation log under an exclusive flock.
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/platform.h"
#include "platform/posix/descriptor.h"

namespace quendrix::platform {
namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr mode_t kLogMode = 0644;

// Writes all of `bytes` unless the file refuses (a full disk); what was not
// written is lost.
void WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = write(fd, bytes.data(), bytes.size());
    if (written > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(written));
    } else if (written < 0 && errno == EINTR) {
      continue;
    } else {
      return;
    }
  }
}

}  // namespace

AppendOutcome AppendLine(const std::string& path, std::string_view text,
                         TextEncoding /*pathEncoding*/) {
  // O_NONBLOCK keeps a log path that names a FIFO from hanging the open; a
  // log that is not a regular file is not written at all.
  Descriptor file(open(path.c_str(),
                       O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK,
                       kLogMode));
  if (!file.IsOpen()) return AppendOutcome::kFailed;
  struct stat info {};
  if (fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
    return AppendOutcome::kFailed;
  }
  // The exclusive lock stands for the Windows share mode 0: a second writer
  // waits or gives up instead of putting its bytes inside this line. Closing
  // the descriptor releases it. A file system without flock (ENOLCK on
  // some network mounts) still gets the line, unlocked, rather than none.
  while (flock(file.get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK) return AppendOutcome::kBusy;
    if (errno != EINTR) break;
  }
  // O_APPEND puts each write at the end, whatever another program did to the
  // file before the lock was taken; the line end is written even after a
  // failed text write.
  WriteAll(file.get(), text);
  WriteAll(file.get(), kLineEnd);
  return AppendOutcome::kWritten;
}

}  // namespace quendrix::platform
