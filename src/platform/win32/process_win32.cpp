// Windows: starting a program with CreateProcessA or CreateProcessW and
// waiting for it.
#include <windows.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/process_start.h"
#include "platform/win32/wide_text.h"

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

// The program of a command line as CreateProcess reads it: a quoted path, or
// the text up to the first blank.
std::string ProgramOf(std::string_view line) {
  line.remove_prefix(std::min(line.find_first_not_of(" \t"), line.size()));
  if (line.starts_with('"')) {
    line.remove_prefix(1);
    return std::string(line.substr(0, line.find('"')));
  }
  return std::string(line.substr(0, line.find_first_of(" \t")));
}

// The system's words for an error code, in `encoding`, without the line end
// the system puts after them.
std::string SystemMessage(DWORD error, TextEncoding encoding) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring wide = length != 0 && text != nullptr ? std::wstring(text, length) : std::wstring();
  if (text != nullptr) LocalFree(text);
  while (!wide.empty() && (wide.back() == L'\n' || wide.back() == L'\r' ||
                           wide.back() == L' ' || wide.back() == L'.')) {
    wide.pop_back();
  }
  if (wide.empty()) return "system error " + std::to_string(error);
  const std::string utf8 = win32::Utf8FromWide(wide);
  return encoding == TextEncoding::kUtf8 ? utf8 : SystemTextFromUtf8(utf8);
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
  DWORD lastError = 0;
  const bool created =
      win32::StartProcess(commandLine, showState, flags, encoding, info, lastError);
  if (!created) {
    // A line of blanks names no program, and nothing was tried.
    if (commandLine.find_first_not_of(" \t") == std::string::npos) return {};
    ProcessOutcome outcome;
    outcome.failedStage = 0;
    outcome.program = ProgramOf(commandLine);
    outcome.startError = SystemMessage(lastError, encoding);
    return outcome;
  }
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
