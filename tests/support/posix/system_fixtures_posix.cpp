// POSIX: descriptors, environment variables and flocks for the tests.
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

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

struct UnreadableFile::Impl {
  std::string path;
  std::string parkedPath;  // where the file waits while a loop takes its place
  mode_t mode = 0;
  bool unreadable = false;
};

namespace {

bool CanOpenForReading(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  close(fd);
  return true;
}

}  // namespace

UnreadableFile::UnreadableFile(const std::string& path)
    : impl_(std::make_unique<Impl>()) {
  impl_->path = path;
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return;
  impl_->mode = info.st_mode & 07777;
  if (chmod(path.c_str(), 0) == 0 && !CanOpenForReading(path)) {
    impl_->unreadable = true;
    return;
  }
  chmod(path.c_str(), impl_->mode);
  // Permission bits do not stop this process: a link that points at itself
  // fails to open (ELOOP) whoever asks.
  impl_->parkedPath = path + ".parked";
  if (rename(path.c_str(), impl_->parkedPath.c_str()) != 0) {
    impl_->parkedPath.clear();
    return;
  }
  const std::string name = path.substr(path.find_last_of('/') + 1);
  impl_->unreadable = symlink(name.c_str(), path.c_str()) == 0 &&
                      !CanOpenForReading(path);
}

UnreadableFile::~UnreadableFile() {
  if (!impl_->parkedPath.empty()) {
    unlink(impl_->path.c_str());
    rename(impl_->parkedPath.c_str(), impl_->path.c_str());
  } else {
    chmod(impl_->path.c_str(), impl_->mode);
  }
}

bool UnreadableFile::IsUnreadable() const { return impl_->unreadable; }

struct ReadOnlyDirectory::Impl {
  std::string path;
  mode_t mode = 0;
  bool readOnly = false;
};

ReadOnlyDirectory::ReadOnlyDirectory(const std::string& path)
    : impl_(std::make_unique<Impl>()) {
  impl_->path = path;
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return;
  impl_->mode = info.st_mode & 07777;
  if (chmod(path.c_str(), impl_->mode & ~mode_t{0222}) != 0) return;
  const std::string probe = path + "/.write-probe";
  const int fd = open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd >= 0) {
    close(fd);
    unlink(probe.c_str());
  }
  impl_->readOnly = fd < 0;
}

ReadOnlyDirectory::~ReadOnlyDirectory() {
  chmod(impl_->path.c_str(), impl_->mode);
}

bool ReadOnlyDirectory::IsReadOnly() const { return impl_->readOnly; }

bool MakeNamedPipe(const std::string& path) {
  return mkfifo(path.c_str(), 0644) == 0;
}

bool MakeFileWhoseReadsFail(const std::string& path) {
  // The first page of a process's address space is never mapped, so reading
  // its memory file from offset 0 fails with EIO, also for root.
  return symlink("/proc/self/mem", path.c_str()) == 0;
}

bool RewriteKeepingTimes(const std::string& path, std::string_view bytes) {
  struct stat before {};
  if (stat(path.c_str(), &before) != 0) return false;
  const int fd = open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  if (fd < 0) return false;
  const bool written =
      write(fd, bytes.data(), bytes.size()) ==
      static_cast<ssize_t>(bytes.size());
  close(fd);
  const timespec times[2] = {before.st_atim, before.st_mtim};
  return written && utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

std::string_view NoSuchFileHere() { return ""; }

bool ExclusiveHoldAllowsReading() { return true; }

bool ProcessHasEnded(long pid) {
  if (kill(static_cast<pid_t>(pid), 0) != 0) return errno == ESRCH;
  std::FILE* file = std::fopen(("/proc/" + std::to_string(pid) + "/stat").c_str(), "r");
  if (file == nullptr) return true;
  char line[512] = {};
  const std::size_t length = std::fread(line, 1, sizeof line - 1, file);
  std::fclose(file);
  const std::string stat(line, length);
  const std::size_t end = stat.rfind(')');
  return end != std::string::npos && end + 2 < stat.size() && stat[end + 2] == 'Z';
}

std::size_t OpenHandleCount() {
  // The listing's own descriptor is counted too, the same every time.
  std::error_code error;
  std::size_t count = 0;
  for (std::filesystem::directory_iterator it("/proc/self/fd", error), end;
       !error && it != end; it.increment(error)) {
    ++count;
  }
  return count;
}

bool GiveFolderToAnotherUser(const std::string& path) {
  constexpr uid_t kNobody = 65534;
  return geteuid() != kNobody && chown(path.c_str(), kNobody, kNobody) == 0;
}

}  // namespace quendrix::testing
