// Windows: an open file handle, closed under the quiet error mode like every
// other file call of the plug-in.
#pragma once

#include <windows.h>

#include "platform/win32/quiet_errors.h"

namespace quendrix::platform::win32 {

class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  ~FileHandle() {
    if (IsOpen()) WithQuietErrors([&] { return CloseHandle(handle_); });
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;

  bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

}  // namespace quendrix::platform::win32
