// Windows: starting a program with CreateProcessA or CreateProcessW and
// waiting for it.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/process_start.h"

namespace quendrix::platform {
namespace {

// The two handles CreateProcess gives back, closed process first, then
// thread, on every path that got them.
class ProcessHandles {
 public:
  explicit ProcessHandles(const PROCESS_INFORMATION& info) : info_(info) {}
  ~ProcessHandles() {
    CloseHandle(info_.hProcess);
    CloseHandle(info_.hThread);
  }
  ProcessHandles(const ProcessHandles&) = delete;
  ProcessHandles& operator=(const ProcessHandles&) = delete;

  HANDLE process() const { return info_.hProcess; }
  DWORD id() const { return info_.dwProcessId; }

 private:
  PROCESS_INFORMATION info_;
};

}  // namespace

ProcessOutcome RunProcess(const std::string& commandLine,
                          std::uint32_t showState, bool wait,
                          TextEncoding encoding) {
  PROCESS_INFORMATION info{};
  const bool created =
      win32::StartProcess(commandLine, showState, encoding, info);
  if (!created) return {};
  const ProcessHandles handles(info);

  if (!wait) return {true, handles.id()};
  // The wait runs outside the module-wide lock: the program may run for as
  // long as it likes, and other calls must not stall behind it.
  WaitForSingleObject(handles.process(), INFINITE);
  DWORD exitCode = 0;
  GetExitCodeProcess(handles.process(), &exitCode);
  return {true, exitCode};
}

}  // namespace quendrix::platform
