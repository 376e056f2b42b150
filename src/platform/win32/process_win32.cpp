// Windows: starting a program with CreateProcessA or CreateProcessW and
// waiting for it.
#include <windows.h>

#include <string>

#include "platform/platform.h"
#include "platform/win32/process_handles.h"
#include "platform/win32/process_start.h"
#include "platform/win32/start_failure.h"

namespace quendrix::platform {
namespace {

using win32::Job;
using win32::ProcessHandles;

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
  DWORD lastError = 0;
  const bool created =
      win32::StartProcess(commandLine, showState, flags, encoding, info, lastError);
  if (!created) return win32::NotStarted(commandLine, lastError, encoding);
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
