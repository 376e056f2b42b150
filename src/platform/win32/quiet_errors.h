// Windows: the module-wide lock and the error-mode bracket around the file
// and process-creation calls.
//
// The process error mode is process-wide: while it is switched, another
// thread's call would see the plug-in's mode, and two overlapping switches
// would restore each other's modes in the wrong order. So every switch, the
// call it brackets and the restore run under one module-wide lock. The lock
// is a busy-wait lock, taken by atomic exchange and released by storing 0; it
// is held for one system call at a time, never while a started program runs.
#pragma once

#include <windows.h>

#include <atomic>
#include <utility>

namespace quendrix::platform::win32 {

class ModuleLock {
 public:
  ModuleLock();
  ~ModuleLock();
  ModuleLock(const ModuleLock&) = delete;
  ModuleLock& operator=(const ModuleLock&) = delete;
};

// No critical-error or open-file-error message box may appear on behalf of
// the plug-in, for instance for a drive without a medium.
inline constexpr UINT kQuietErrorMode =
    SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX;

// Runs `call` with the quiet error mode and the thread's last-error value set
// to 0, reads the last-error value afterwards into `lastError`, and restores
// the previous error mode, all under the module-wide lock.
template <typename Call>
auto WithQuietErrors(Call&& call, DWORD& lastError) {
  ModuleLock lock;
  const UINT previous = SetErrorMode(kQuietErrorMode);
  SetLastError(0);
  auto result = std::forward<Call>(call)();
  lastError = GetLastError();
  SetErrorMode(previous);
  return result;
}

template <typename Call>
auto WithQuietErrors(Call&& call) {
  DWORD ignored = 0;
  return WithQuietErrors(std::forward<Call>(call), ignored);
}

}  // namespace quendrix::platform::win32
