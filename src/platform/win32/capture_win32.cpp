// Windows: a program's standard output read into memory while it runs,
// bounded in size and in time.
//
// The program writes into two pipes, one for its output and one for its
// errors, and both must be drained while it runs: a program blocked on a full
// error pipe would never finish its output. Each pipe is a named pipe whose
// host end is read with overlapped I/O, and one thread waits, in a single
// WaitForMultipleObjects, for whichever comes first: a read of either pipe,
// the program's end, or the time limit. That needs neither a thread per pipe
// nor polling. A reader thread blocked in ReadFile on an anonymous pipe could
// only be freed by CancelSynchronousIo, which races with the thread's start
// of its next read; an overlapped read is given up at any moment by
// CancelIoEx, and waited for until the system no longer uses its buffer.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "platform/win32/file_handle.h"
#include "platform/win32/process_handles.h"
#include "platform/win32/process_start.h"
#include "platform/win32/quiet_errors.h"
#include "platform/win32/start_failure.h"

namespace quendrix::platform {
namespace {

using win32::FileHandle;
using win32::WithQuietErrors;
using CaptureClock = std::chrono::steady_clock;

// What one read of a pipe takes at most, and what the system buffers of a
// pipe before its writer waits.
constexpr DWORD kPipeChunk = 64 * 1024;

// How long the pipes are still read once the program has ended: everything
// of its job has ended then, so their ends come at once, unless a process
// outside the job holds a write end (one the job could not hold, or one
// that another thread of the host started in the instant of this start,
// with every inheritable handle). What that one writes is not waited for.
constexpr std::chrono::milliseconds kReadAfterEnd{1000};

// A pipe name that no other pipe of this machine has: the process, a
// counter and the time. Another program that made a pipe of the same name
// first fails our creation (FILE_FLAG_FIRST_PIPE_INSTANCE), and the next
// name is tried.
std::wstring CapturePipeName() {
  static std::atomic<unsigned long> counter{0};
  return L"\\\\.\\pipe\\quendrix-capture-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
         std::to_wstring(++counter) + L"-" + std::to_wstring(GetTickCount64());
}

// One pipe from the program to the host. The host's end is read with
// overlapped I/O; the program's end is an ordinary synchronous handle, as a
// program expects of its standard output, and not inheritable until the
// start names it.
class CapturePipe {
 public:
  CapturePipe() : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~CapturePipe() { GiveUp(); }
  CapturePipe(const CapturePipe&) = delete;
  CapturePipe& operator=(const CapturePipe&) = delete;

  // Makes the pipe; false, with the system's reason in `lastError`, when it
  // cannot be had.
  bool Open(DWORD& lastError) {
    if (!event_.IsOpen()) {
      lastError = GetLastError();
      return false;
    }
    for (int attempt = 0; attempt < 4 && !host_.IsOpen(); ++attempt) {
      const std::wstring name = CapturePipeName();
      host_.Reset(WithQuietErrors(
          [&] {
            return CreateNamedPipeW(
                name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 0,
                kPipeChunk, 0, nullptr);
          },
          lastError));
      if (!host_.IsOpen()) continue;
      // Opened at once: with one instance, a stranger who connects first
      // takes our pipe, and this open then fails instead of writing into
      // someone else's.
      program_.Reset(WithQuietErrors(
          [&] {
            return CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
          },
          lastError));
      if (!program_.IsOpen()) return false;
    }
    return host_.IsOpen();
  }

  HANDLE programEnd() const { return program_.get(); }
  // After the start: the program holds its end alone, so the pipe ends when
  // the program and everything it started have closed it.
  void CloseProgramEnd() { program_.Close(); }

  HANDLE event() const { return event_.get(); }
  bool reading() const { return reading_; }
  bool ended() const { return ended_; }

  // Starts the next read, unless one is under way or the pipe has ended. A
  // read that finishes at once sets the event as well, so the event alone
  // tells when a read is done.
  void Read() {
    if (reading_ || ended_) return;
    overlapped_ = OVERLAPPED{};
    overlapped_.hEvent = event_.get();
    if (ReadFile(host_.get(), buffer_.get(), kPipeChunk, nullptr, &overlapped_) ||
        GetLastError() == ERROR_IO_PENDING) {
      reading_ = true;
    } else {
      // Every writer has gone (ERROR_BROKEN_PIPE), or nothing more can be read.
      ended_ = true;
    }
  }

  // Once the event is set: what the read brought.
  std::string_view Take() {
    DWORD got = 0;
    if (!GetOverlappedResult(host_.get(), &overlapped_, &got, FALSE)) {
      if (GetLastError() == ERROR_IO_INCOMPLETE) return {};
      reading_ = false;
      ended_ = true;
      return {};
    }
    reading_ = false;
    return {buffer_.get(), got};
  }

  // Gives up a read under way, and waits until the system no longer writes
  // into the buffer. The pipe counts as ended.
  void GiveUp() {
    if (reading_) {
      CancelIoEx(host_.get(), &overlapped_);
      DWORD got = 0;
      GetOverlappedResult(host_.get(), &overlapped_, &got, TRUE);
      reading_ = false;
    }
    ended_ = true;
  }

 private:
  FileHandle event_;
  FileHandle host_{INVALID_HANDLE_VALUE};
  FileHandle program_{INVALID_HANDLE_VALUE};
  OVERLAPPED overlapped_{};
  std::unique_ptr<char[]> buffer_ = std::make_unique<char[]>(kPipeChunk);
  bool reading_ = false;
  bool ended_ = false;
};

// Milliseconds from now until `deadline`, rounded up, for a wait: 0 once it
// has passed.
DWORD MillisecondsUntil(CaptureClock::time_point deadline) {
  const auto left =
      std::chrono::ceil<std::chrono::milliseconds>(deadline - CaptureClock::now()).count();
  return static_cast<DWORD>(std::clamp<long long>(left, 0, INFINITE - 1));
}

// Appends to `output` what of `bytes` fits below `limit`; false when
// something did not fit.
bool KeepStart(std::string& output, std::string_view bytes, std::size_t limit) {
  const std::size_t room = limit - output.size();
  output.append(bytes.substr(0, room));
  return bytes.size() <= room;
}

// Keeps the last kErrorOutputLimit bytes of the program's errors.
void KeepEnd(std::string& errors, std::string_view bytes) {
  errors.append(bytes);
  if (errors.size() > kErrorOutputLimit) errors.erase(0, errors.size() - kErrorOutputLimit);
}

// The program started, in its job, and its two pipes.
struct RunningCapture {
  const win32::ProcessHandles& process;
  win32::Job& job;
  bool inJob;
  CapturePipe& output;
  CapturePipe& errors;
};

// Ends the program and, when the job holds them, everything it started.
void EndCapturedProgram(const RunningCapture& run) {
  if (run.inJob) {
    run.job.EndAll();
  } else {
    TerminateProcess(run.process.process(), 1);
  }
  WaitForSingleObject(run.process.process(), static_cast<DWORD>(kStopGrace.count()));
}

// Reads both pipes until the program has ended and the pipes with it, the
// output passed `limit`, or `deadline` came; fills `captured` accordingly.
void ReadUntilTheEnd(const RunningCapture& run, std::size_t limit,
                     CaptureClock::time_point deadline, CapturedOutput& captured) {
  bool programEnded = false;
  CaptureClock::time_point readUntil = deadline;
  for (;;) {
    run.output.Read();
    run.errors.Read();
    if (programEnded && run.output.ended() && run.errors.ended()) break;
    // A program that writes without a pause would keep a wait busy for ever,
    // so the time limit is asked before each wait, not only by it.
    if (CaptureClock::now() >= readUntil) {
      if (!programEnded) captured.timedOut = true;
      break;
    }
    // The pipes come first: when several are ready, the wait names the
    // first, and what the program wrote is read before its end is seen.
    HANDLE waits[3];
    DWORD count = 0;
    if (run.output.reading()) waits[count++] = run.output.event();
    if (run.errors.reading()) waits[count++] = run.errors.event();
    if (!programEnded) waits[count++] = run.process.process();
    const DWORD woken = WaitForMultipleObjects(count, waits, FALSE, MillisecondsUntil(readUntil));
    if (woken == WAIT_TIMEOUT) continue;
    if (woken >= WAIT_OBJECT_0 + count) {
      // The wait itself failed: nothing more can be told, and the program
      // is not left running unseen.
      break;
    }
    const HANDLE ready = waits[woken - WAIT_OBJECT_0];
    if (ready == run.output.event()) {
      if (!KeepStart(captured.output, run.output.Take(), limit)) {
        captured.cut = true;
        break;
      }
    } else if (ready == run.errors.event()) {
      KeepEnd(captured.outcome.errorOutput, run.errors.Take());
    } else {
      programEnded = true;
      // What the program left running would end with the job's handle
      // anyway; ended now, its writes stop and the pipes' ends come as it
      // goes. Nothing waits for it here: the pipes' ends tell.
      if (run.inJob) run.job.End();
      readUntil = std::min(deadline, CaptureClock::now() + kReadAfterEnd);
    }
  }
  run.output.GiveUp();
  run.errors.GiveUp();

  if (programEnded) {
    DWORD exitCode = 0;
    GetExitCodeProcess(run.process.process(), &exitCode);
    std::string errors = std::move(captured.outcome.errorOutput);
    captured.outcome = ProcessOutcome::Started(exitCode);
    captured.outcome.errorOutput = std::move(errors);
    return;
  }
  EndCapturedProgram(run);
  captured.outcome.started = true;
  captured.outcome.stopped = true;
}

}  // namespace

CapturedOutput RunCapturingOutput(const std::string& commandLine, std::size_t limit,
                                  std::chrono::milliseconds timeout, TextEncoding encoding) {
  CapturedOutput captured;
  // The limit counts from before the pipes are made; a limit beyond a
  // year stands for none.
  const auto deadline =
      CaptureClock::now() +
      std::clamp<std::chrono::milliseconds>(timeout, std::chrono::milliseconds(0),
                                            std::chrono::hours(24 * 365));
  DWORD lastError = 0;
  CapturePipe output;
  CapturePipe errors;
  // The program reads nothing: its input is the null device.
  FileHandle input(WithQuietErrors(
      [] {
        return CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
      },
      lastError));
  if (!input.IsOpen() || !output.Open(lastError) || !errors.Open(lastError)) {
    captured.outcome = win32::NotStarted(commandLine, lastError, encoding);
    return captured;
  }

  // The program starts suspended and runs only once it is in its job, so
  // that nothing it starts can slip out of the job before.
  PROCESS_INFORMATION info{};
  const win32::StandardHandles handles{input.get(), output.programEnd(), errors.programEnd()};
  if (!win32::StartProcessWithHandles(commandLine, NORMAL_PRIORITY_CLASS | CREATE_SUSPENDED,
                                      encoding, handles, info, lastError)) {
    captured.outcome = win32::NotStarted(commandLine, lastError, encoding);
    return captured;
  }
  const win32::ProcessHandles process(info);
  output.CloseProgramEnd();
  errors.CloseProgramEnd();
  input.Close();

  // Declared after the process handles, so that the job's handle closes
  // first: the processes still in it end then, whichever way this returns.
  win32::Job job;
  job.EndWhenClosed();
  const bool inJob = job.Hold(process.process());
  ResumeThread(process.thread());

  ReadUntilTheEnd(RunningCapture{process, job, inJob, output, errors}, limit, deadline,
                  captured);
  return captured;
}

}  // namespace quendrix::platform
