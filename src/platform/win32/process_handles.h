// Windows: the handles of a started program, and the job object that holds
// it and everything it starts.
#pragma once

#include <windows.h>

namespace quendrix::platform::win32 {

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
  HANDLE thread() const { return info_.hThread; }
  DWORD id() const { return info_.dwProcessId; }

 private:
  PROCESS_INFORMATION info_;
};

// A job object that holds a program and everything it starts, so that
// stopping the program stops them all. By default closing the handle leaves
// the processes alone: a watched program that ends by itself may leave
// helpers behind, as it would without a watch.
class Job {
 public:
  Job() : handle_(CreateJobObjectA(nullptr, nullptr)) {}
  ~Job() {
    if (handle_ != nullptr) CloseHandle(handle_);
  }
  Job(const Job&) = delete;
  Job& operator=(const Job&) = delete;

  // From now on the processes of the job end when its handle is closed,
  // whatever path the host leaves by; and a process of it that crashes ends
  // at once instead of waiting behind the system's error report. False when
  // the system refuses.
  bool EndWhenClosed() {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags =
        JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION;
    return handle_ != nullptr &&
           SetInformationJobObject(handle_, JobObjectExtendedLimitInformation, &limits,
                                   sizeof limits) != 0;
  }

  // False when the system will not put the process into the job (a host
  // that itself runs in a job that forbids it, on old systems).
  bool Hold(HANDLE process) {
    return handle_ != nullptr && AssignProcessToJobObject(handle_, process) != 0;
  }

  // Ends every process of the job, without waiting for them to be gone.
  void End() { TerminateJobObject(handle_, kStoppedExitCode); }

  // Ends every process of the job and waits, briefly, until none is left.
  void EndAll() {
    End();
    for (int step = 0; step < 200 && ActiveProcesses() > 0; ++step) Sleep(10);
  }

 private:
  DWORD ActiveProcesses() const {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info{};
    if (!QueryInformationJobObject(handle_, JobObjectBasicAccountingInformation,
                                   &info, sizeof info, nullptr)) {
      return 0;
    }
    return info.ActiveProcesses;
  }

  static constexpr UINT kStoppedExitCode = 1;
  HANDLE handle_;
};

}  // namespace quendrix::platform::win32
