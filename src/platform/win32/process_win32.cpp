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
  HANDLE thread() const { return info_.hThread; }
  DWORD id() const { return info_.dwProcessId; }

 private:
  PROCESS_INFORMATION info_;
};

// A job object that holds a watched program and everything it starts, so
// that stopping the program stops them all. Closing the handle leaves the
// processes alone: a program that ends by itself may leave helpers behind,
// as it would without a watch.
class Job {
 public:
  Job() : handle_(CreateJobObjectA(nullptr, nullptr)) {}
  ~Job() {
    if (handle_ != nullptr) CloseHandle(handle_);
  }
  Job(const Job&) = delete;
  Job& operator=(const Job&) = delete;

  // False when the system will not put the process into the job (a host
  // that itself runs in a job that forbids it, on old systems).
  bool Hold(HANDLE process) {
    return handle_ != nullptr && AssignProcessToJobObject(handle_, process) != 0;
  }

  // Ends every process of the job and waits, briefly, until none is left.
  void EndAll() {
    TerminateJobObject(handle_, kStoppedExitCode);
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

// Waits for a watched program in steps of the watch's interval, asking the
// watch after each step whether it may go on. Windows has no polite request
// to end that every program heeds, so a stop ends the job at once.
ProcessOutcome WatchProgram(const ProcessHandles& handles, Job& job,
                            bool inJob, const ProcessWatch& watch) {
  const DWORD step = static_cast<DWORD>(watch.interval.count());
  for (;;) {
    if (WaitForSingleObject(handles.process(), step) != WAIT_TIMEOUT) {
      DWORD exitCode = 0;
      GetExitCodeProcess(handles.process(), &exitCode);
      return ProcessOutcome::Started(exitCode);
    }
    if (watch.keepRunning && !watch.keepRunning()) {
      if (inJob) {
        job.EndAll();
      } else {
        TerminateProcess(handles.process(), 1);
      }
      WaitForSingleObject(handles.process(), INFINITE);
      return ProcessOutcome::Stopped();
    }
  }
}

}  // namespace

ProcessOutcome RunProcess(const std::string& commandLine,
                          std::uint32_t showState, bool wait,
                          const ProcessWatch* watch,
                          TextEncoding encoding) {
  PROCESS_INFORMATION info{};
  // A watched program starts suspended and runs only once it is in its
  // job, so that nothing it starts can slip out of the job before.
  const DWORD flags =
      NORMAL_PRIORITY_CLASS | (watch != nullptr ? CREATE_SUSPENDED : 0);
  const bool created =
      win32::StartProcess(commandLine, showState, flags, encoding, info);
  if (!created) return {};
  const ProcessHandles handles(info);

  if (watch != nullptr) {
    Job job;
    const bool inJob = job.Hold(handles.process());
    ResumeThread(handles.thread());
    return WatchProgram(handles, job, inJob, *watch);
  }
  if (!wait) return ProcessOutcome::Started(handles.id());
  // The wait runs outside the module-wide lock: the program may run for as
  // long as it likes, and other calls must not stall behind it.
  WaitForSingleObject(handles.process(), INFINITE);
  DWORD exitCode = 0;
  GetExitCodeProcess(handles.process(), &exitCode);
  return ProcessOutcome::Started(exitCode);
}

}  // namespace quendrix::platform
