// Windows: starting a program with CreateProcessA and waiting for it.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/quiet_errors.h"

namespace quendrix::platform {
namespace {

// The two handles CreateProcessA gives back, closed process first, then
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
                          std::uint32_t showState, bool wait) {
  // CreateProcessA may write into the command line, so it gets a copy of its
  // own, zero-terminated.
  std::vector<char> buffer(commandLine.begin(), commandLine.end());
  buffer.push_back('\0');

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(showState);

  // Default security, and neither handle inheritable by the program's own
  // children.
  SECURITY_ATTRIBUTES security{};
  security.nLength = sizeof security;
  security.lpSecurityDescriptor = nullptr;
  security.bInheritHandle = FALSE;

  PROCESS_INFORMATION info{};
  // The program takes over the quiet error mode at its creation, so a
  // converter that touches an empty drive shows no dialog either.
  const BOOL created = win32::WithQuietErrors([&] {
    return CreateProcessA(nullptr, buffer.data(), &security, &security,
                          FALSE, NORMAL_PRIORITY_CLASS, nullptr, nullptr,
                          &startup, &info);
  });
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
