// Windows: an open handle, closed under the quiet error mode like every
// other file call of the plug-in.
#pragma once

#include <windows.h>

#include "platform/win32/quiet_errors.h"

namespace quendrix::platform::win32 {

// A file or a pipe that cannot be opened gives INVALID_HANDLE_VALUE, an
// event that cannot be made a null handle: neither is ever closed.
class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  ~FileHandle() { Close(); }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;

  bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  HANDLE get() const { return handle_; }

  // Closes the handle before the object goes, when someone else (a started
  // program) must be the last to hold what it refers to.
  void Close() {
    if (IsOpen()) WithQuietErrors([&] { return CloseHandle(handle_); });
    handle_ = INVALID_HANDLE_VALUE;
  }

  // Closes the handle held and holds `handle` instead.
  void Reset(HANDLE handle) {
    Close();
    handle_ = handle;
  }

 private:
  HANDLE handle_;
};

}  // namespace quendrix::platform::win32
