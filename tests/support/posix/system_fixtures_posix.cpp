// POSIX: descriptors, environment variables and flocks for the tests.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

#include "support/system_fixtures.h"

namespace quendrix::testing {

struct InheritableFile::Impl {
  int fd = -1;
};

InheritableFile::InheritableFile(const std::string& path)
    : impl_(std::make_unique<Impl>()) {
  // Deliberately without O_CLOEXEC.
  impl_->fd = open(path.c_str(), O_RDONLY);
}

InheritableFile::~InheritableFile() {
  if (impl_->fd >= 0) close(impl_->fd);
}

bool InheritableFile::IsOpen() const { return impl_->fd >= 0; }

std::string InheritableFile::Value() const { return std::to_string(impl_->fd); }

ScopedEnvironmentVariable::ScopedEnvironmentVariable(std::string name,
                                                     const std::string& value)
    : name_(std::move(name)) {
  setenv(name_.c_str(), value.c_str(), 1);
}

ScopedEnvironmentVariable::~ScopedEnvironmentVariable() { unsetenv(name_.c_str()); }

struct ExclusiveHold::Impl {
  int fd = -1;
};

ExclusiveHold::ExclusiveHold(const std::string& path)
    : impl_(std::make_unique<Impl>()) {
  impl_->fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (impl_->fd >= 0 && flock(impl_->fd, LOCK_EX) != 0) {
    close(impl_->fd);
    impl_->fd = -1;
  }
}

ExclusiveHold::~ExclusiveHold() {
  if (impl_->fd >= 0) close(impl_->fd);
}

bool ExclusiveHold::IsHeld() const { return impl_->fd >= 0; }

}  // namespace quendrix::testing
