// POSIX: an open file descriptor that is closed on every way out.
#pragma once

#include <unistd.h>

namespace quendrix::platform {

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;

  // Closes what is held and holds `fd` instead.
  void Reset(int fd) {
    if (fd_ >= 0) close(fd_);
    fd_ = fd;
  }

  bool IsOpen() const { return fd_ >= 0; }
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace quendrix::platform
