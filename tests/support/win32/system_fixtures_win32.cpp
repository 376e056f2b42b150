// Windows: inheritable handles, environment variables and unshared opens for
// the tests.
#include <windows.h>

#include <cstdint>

#include "support/system_fixtures.h"

namespace quendrix::testing {

struct InheritableFile::Impl {
  HANDLE handle = INVALID_HANDLE_VALUE;
};

InheritableFile::InheritableFile(const std::string& path)
    : impl_(std::make_unique<Impl>()) {
  impl_->handle = CreateFileA(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (impl_->handle != INVALID_HANDLE_VALUE) {
    SetHandleInformation(impl_->handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
  }
}

InheritableFile::~InheritableFile() {
  if (impl_->handle != INVALID_HANDLE_VALUE) CloseHandle(impl_->handle);
}

bool InheritableFile::IsOpen() const {
  DWORD flags = 0;
  return impl_->handle != INVALID_HANDLE_VALUE &&
         GetHandleInformation(impl_->handle, &flags) &&
         (flags & HANDLE_FLAG_INHERIT) != 0;
}

std::string InheritableFile::Value() const {
  return std::to_string(reinterpret_cast<std::uintptr_t>(impl_->handle));
}

ScopedEnvironmentVariable::ScopedEnvironmentVariable(std::string name,
                                                     const std::string& value)
    : name_(std::move(name)) {
  // CreateProcessA with a null environment passes on the Win32 environment
  // block, which SetEnvironmentVariableA changes.
  SetEnvironmentVariableA(name_.c_str(), value.c_str());
}

ScopedEnvironmentVariable::~ScopedEnvironmentVariable() {
  SetEnvironmentVariableA(name_.c_str(), nullptr);
}

struct ExclusiveHold::Impl {
  HANDLE handle = INVALID_HANDLE_VALUE;
};

ExclusiveHold::ExclusiveHold(const std::string& path)
    : impl_(std::make_unique<Impl>()) {
  impl_->handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

ExclusiveHold::~ExclusiveHold() {
  if (impl_->handle != INVALID_HANDLE_VALUE) CloseHandle(impl_->handle);
}

bool ExclusiveHold::IsHeld() const { return impl_->handle != INVALID_HANDLE_VALUE; }

struct UnreadableFile::Impl {
  ExclusiveHold hold;
  explicit Impl(const std::string& path) : hold(path) {}
};

UnreadableFile::UnreadableFile(const std::string& path)
    : impl_(std::make_unique<Impl>(path)) {}

UnreadableFile::~UnreadableFile() = default;

bool UnreadableFile::IsUnreadable() const { return impl_->hold.IsHeld(); }

// The read-only attribute of a directory does not keep files out of it.
struct ReadOnlyDirectory::Impl {};

ReadOnlyDirectory::ReadOnlyDirectory(const std::string&)
    : impl_(std::make_unique<Impl>()) {}

ReadOnlyDirectory::~ReadOnlyDirectory() = default;

bool ReadOnlyDirectory::IsReadOnly() const { return false; }

bool RewriteKeepingTimes(const std::string& path, std::string_view bytes) {
  const HANDLE file =
      CreateFileA(path.c_str(), GENERIC_WRITE | FILE_WRITE_ATTRIBUTES, 0,
                  nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  FILETIME created{}, accessed{}, modified{};
  bool done = GetFileTime(file, &created, &accessed, &modified) != 0;
  DWORD written = 0;
  done = done &&
         ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()),
                     &written, nullptr) &&
         written == bytes.size();
  done = done && SetFileTime(file, &created, &accessed, &modified);
  CloseHandle(file);
  return done;
}

bool MakeNamedPipe(const std::string&) { return false; }

bool MakeFileWhoseReadsFail(const std::string&) { return false; }

std::string_view NoSuchFileHere() {
  return "Windows file systems hold neither named pipes nor files whose "
         "reads fail after they open";
}

bool ExclusiveHoldAllowsReading() { return false; }

bool ProcessHasEnded(long pid) {
  const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
  if (process == nullptr) return true;
  const bool ended = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
  CloseHandle(process);
  return ended;
}

std::size_t OpenHandleCount() {
  // Every value that names an open handle, counted one by one: Wine's
  // GetProcessHandleCount answers 0. A process of a few hundred handles
  // keeps their values far below the end of the range, as the system hands
  // out the lowest free one.
  std::size_t count = 0;
  for (std::uintptr_t value = 4; value < 0x10000; value += 4) {
    DWORD flags = 0;
    if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
  }
  return count;
}

bool GiveFolderToAnotherUser(const std::string& /*path*/) {
  // A user's local application data is the user's own; the cache checks
  // only that a folder, not a link, stands there.
  return false;
}

}  // namespace quendrix::testing
