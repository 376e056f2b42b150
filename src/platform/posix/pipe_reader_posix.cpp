// POSIX: reading what started programs write into a pipe.
#include "platform/posix/pipe_reader.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

namespace quendrix::platform {
namespace {

// Both ends are closed on exec, so that no other program the host starts
// meanwhile holds the pipe open; the program gets its end through a dup2,
// which clears the flag on the copy. Only the reading end is non-blocking:
// the program's end must block when the pipe is full, as a program expects
// of its standard error, or it would lose what it writes.
int MakePipe(int ends[2]) {
  if (pipe2(ends, O_CLOEXEC) != 0) return -1;
  const int flags = fcntl(ends[0], F_GETFL);
  if (flags < 0 || fcntl(ends[0], F_SETFL, flags | O_NONBLOCK) != 0) {
    close(ends[0]);
    close(ends[1]);
    return -1;
  }
  return 0;
}

}  // namespace

PipeReader::PipeReader(std::size_t limit, Keep keep)
    : limit_(limit), keep_(keep), read_([this] {
        int ends[2] = {-1, -1};
        if (MakePipe(ends) != 0) return -1;
        write_ = ends[1];
        return ends[0];
      }()) {}

void PipeReader::CloseWriteEnd() {
  if (write_ >= 0) close(write_);
  write_ = -1;
}

void PipeReader::Drain() {
  if (!read_.IsOpen() || finished_ || full_) return;
  char chunk[65536];
  for (;;) {
    const ssize_t got = read(read_.get(), chunk, sizeof chunk);
    if (got > 0) {
      kept_.append(chunk, static_cast<std::size_t>(got));
      if (keep_ == Keep::kStart) {
        // Past the limit nothing more is read: the host has what it keeps,
        // and the writer is to be ended.
        if (kept_.size() > limit_) {
          full_ = true;
          return;
        }
        continue;
      }
      // Trimmed in steps rather than after every read, so that a chatty
      // program costs a copy of the kept end now and then, not per read.
      if (kept_.size() > 4 * limit_) kept_.erase(0, kept_.size() - limit_);
      continue;
    }
    if (got == 0) finished_ = true;
    if (got < 0 && errno == EINTR) continue;
    return;
  }
}

std::string PipeReader::Take() {
  Drain();
  if (kept_.size() > limit_) {
    if (keep_ == Keep::kEnd) {
      kept_.erase(0, kept_.size() - limit_);
    } else {
      kept_.resize(limit_);
    }
  }
  return std::move(kept_);
}

}  // namespace quendrix::platform
