// POSIX: starting a program, or a pipeline of programs, with posix_spawn
// and waiting for them.
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/posix/child_exit.h"
#include "platform/posix/pipe_reader.h"

#include "platform/platform.h"
#include "format/command_pipeline.h"

extern char** environ;

namespace quendrix::platform {
namespace {

constexpr char kNullDevice[] = "/dev/null";
// Descriptors from here on belong to the host and never reach the program.
constexpr int kFirstHostDescriptor = 3;

// A posix_spawn set-up object (file actions or attributes), destroyed when
// it goes out of scope. It remembers whether every step of its set-up
// succeeded, so that a program is never started half set up.
template <typename Object, int (*Init)(Object*), int (*Destroy)(Object*)>
class SpawnSetUp {
 public:
  SpawnSetUp() : initialized_(Init(&object_) == 0), ok_(initialized_) {}
  ~SpawnSetUp() {
    if (initialized_) Destroy(&object_);
  }
  SpawnSetUp(const SpawnSetUp&) = delete;
  SpawnSetUp& operator=(const SpawnSetUp&) = delete;

  bool ok() const { return ok_; }
  Object* get() { return &object_; }
  void Check(int result) { ok_ = ok_ && result == 0; }

 private:
  Object object_;
  const bool initialized_;
  bool ok_;
};

using FileActions =
    SpawnSetUp<posix_spawn_file_actions_t, posix_spawn_file_actions_init,
               posix_spawn_file_actions_destroy>;
using SpawnAttributes = SpawnSetUp<posix_spawnattr_t, posix_spawnattr_init,
                                   posix_spawnattr_destroy>;

// Where the standard descriptors of one program of a pipeline come from:
// a descriptor of the host's to copy, or, when there is none, /dev/null
// (for output: the host's own when `inheritOutput`).
struct StageDescriptors {
  int input = -1;
  int output = -1;
  bool inheritOutput = false;
  int errors = -1;
  bool inheritErrors = false;
};

// Standard input reads from /dev/null unless a < or a pipe feeds it, so a
// converter that waits for input ends at once instead of hanging the host.
// Hidden programs write their output into /dev/null as well (unless a > or
// a pipe takes it), and their errors into the pipe of the error tail when
// there is one, so that a failure can be told with the program's own words.
// Every other descriptor is closed, whatever its close-on-exec flag: the
// host's files and sockets are none of the program's business, and a pipe
// end that leaked into a long-running converter would keep the host's reader
// waiting.
void SetUpDescriptors(FileActions& actions, const StageDescriptors& fds) {
  const auto take = [&actions](int from, int to, int nullMode) {
    if (from >= 0) {
      actions.Check(posix_spawn_file_actions_adddup2(actions.get(), from, to));
    } else {
      actions.Check(
          posix_spawn_file_actions_addopen(actions.get(), to, kNullDevice, nullMode, 0));
    }
  };
  take(fds.input, STDIN_FILENO, O_RDONLY);
  if (fds.output >= 0 || !fds.inheritOutput) take(fds.output, STDOUT_FILENO, O_WRONLY);
  if (fds.errors >= 0 || !fds.inheritErrors) take(fds.errors, STDERR_FILENO, O_WRONLY);
  actions.Check(posix_spawn_file_actions_addclosefrom_np(actions.get(),
                                                         kFirstHostDescriptor));
}

// The program starts with no blocked signals and the default action for
// every signal, rather than with whatever mask or ignored signals the host
// happens to use for itself (a host that ignores SIGPIPE, say). Watched
// programs share a process group of their own, headed by the first of a
// pipeline, which holds everything they start, so that stopping them stops
// those too; the group is also out of the terminal's reach, so a Ctrl+C
// meant for the host reaches them only through the host's decision to stop
// them. `group` is 0 for the head, which makes the group, else the head's
// identifier; -1 leaves the program in the host's group.
void SetUpSignals(SpawnAttributes& attributes, pid_t group) {
  sigset_t none;
  sigset_t all;
  sigemptyset(&none);
  sigfillset(&all);
  attributes.Check(posix_spawnattr_setsigmask(attributes.get(), &none));
  attributes.Check(posix_spawnattr_setsigdefault(attributes.get(), &all));
  short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
  if (group >= 0) {
    attributes.Check(posix_spawnattr_setpgroup(attributes.get(), group));
    flags |= POSIX_SPAWN_SETPGROUP;
  }
  attributes.Check(posix_spawnattr_setflags(attributes.get(), flags));
}

// The outcome of a program that ended with wait status `status`.
ProcessOutcome EndedWith(int status) {
  ProcessOutcome outcome;
  outcome.started = true;
  if (WIFEXITED(status)) {
    outcome.value = static_cast<std::uint32_t>(WEXITSTATUS(status));
  } else if (WIFSIGNALED(status)) {
    outcome.signal = WTERMSIG(status);
    outcome.value = 128u + static_cast<std::uint32_t>(outcome.signal);
  }
  return outcome;
}

// Waits until the child `pid` has ended and returns how it ended.
ProcessOutcome WaitForExit(pid_t pid) {
  int status = 0;
  for (;;) {
    if (waitpid(pid, &status, 0) == pid) return EndedWith(status);
    // A host that ignores SIGCHLD, or reaps every child itself, takes the
    // status away; the program has ended all the same, and its file is all
    // that tells how.
    if (errno != EINTR) return EndedWith(0);
  }
}

// Whether a program of a pipeline failed. One that a signal for a closed
// pipe ended, while a program after it succeeded, did not: the later one
// stopped reading because it had what it wanted (`yes | head -n 1`), and
// what the pipeline wrote is whole.
bool StageFailed(const std::vector<ProcessOutcome>& ends, std::size_t stage) {
  const ProcessOutcome& end = ends[stage];
  if (end.signal == 0) return end.value != 0;
  if (end.signal != SIGPIPE || stage + 1 == ends.size()) return true;
  return StageFailed(ends, stage + 1);
}

// How a pipeline ended, from how each of its programs ended: a failure when
// any failed, told by the last of those, as the shell's pipefail does, with
// the ones before it that failed too.
ProcessOutcome PipelineOutcome(const std::vector<ProcessOutcome>& ends,
                               const std::vector<std::string>& programs) {
  std::vector<ProcessOutcome::StageEnd> failures;
  for (std::size_t stage = 0; stage < ends.size(); ++stage) {
    if (!StageFailed(ends, stage)) continue;
    failures.push_back({static_cast<std::int32_t>(stage), programs[stage], ends[stage].value,
                        ends[stage].signal});
  }
  if (failures.empty()) return ends.back();
  const auto last = static_cast<std::size_t>(failures.back().stage);
  ProcessOutcome outcome = ends[last];
  outcome.failedStage = failures.back().stage;
  outcome.program = programs[last];
  failures.pop_back();
  outcome.earlierFailures = std::move(failures);
  return outcome;
}

// Reaps every program of a pipeline that has ended.
ProcessOutcome ReapAll(const std::vector<pid_t>& pids,
                       const std::vector<std::string>& programs) {
  std::vector<ProcessOutcome> ends;
  ends.reserve(pids.size());
  for (const pid_t pid : pids) ends.push_back(WaitForExit(pid));
  return PipelineOutcome(ends, programs);
}

// Waits for the programs `pids` without a time limit, draining `errors`
// while they run.
ProcessOutcome WaitDraining(const std::vector<pid_t>& pids,
                            const std::vector<std::string>& programs,
                            PipeReader& errors) {
  ChildExit exit(pids);
  while (!exit.WaitFor(std::chrono::hours(1), &errors)) {
  }
  ProcessOutcome outcome = ReapAll(pids, programs);
  // What the programs' own children still write after they ended is
  // theirs; the pipe is read as far as it holds data now, never waited on.
  outcome.errorOutput = errors.Take();
  return outcome;
}

bool AnyLive(const std::vector<pid_t>& pids) {
  for (const pid_t pid : pids) {
    int status = 0;
    const pid_t reaped = waitpid(pid, &status, WNOHANG);
    if (reaped == 0) return true;
  }
  return false;
}

// Ends programs that are still running: asks first (SIGTERM), ends them for
// good (SIGKILL) when they are still there after the grace, and reaps them.
// With `group` (the identifier of the group they head, else -1) everything
// they started goes too.
void EndPrograms(const std::vector<pid_t>& pids, pid_t group) {
  const auto signalAll = [&](int signal) {
    if (group > 0) {
      kill(-group, signal);
    } else {
      for (const pid_t pid : pids) kill(pid, signal);
    }
  };
  const auto gone = [&] {
    // The programs' own end is not enough: what they started may linger.
    return !AnyLive(pids) && (group <= 0 || !GroupHasLiveMember(group));
  };
  signalAll(SIGTERM);
  const auto deadline = std::chrono::steady_clock::now() + kStopGrace;
  while (std::chrono::steady_clock::now() < deadline) {
    if (gone()) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  signalAll(SIGKILL);
  for (const pid_t pid : pids) WaitForExit(pid);
  // SIGKILL cannot be refused; the members go within moments, and a
  // member stuck in the kernel does not hold the host for longer than this.
  for (int step = 0; group > 0 && step < 100 && GroupHasLiveMember(group); ++step) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

// Waits for the programs in steps of the watch's interval, asking the watch
// after each step whether they may go on.
ProcessOutcome WatchPrograms(const std::vector<pid_t>& pids,
                             const std::vector<std::string>& programs,
                             const ProcessWatch& watch, PipeReader* errors) {
  ChildExit exit(pids);
  for (;;) {
    if (exit.WaitFor(watch.interval, errors)) {
      ProcessOutcome outcome = ReapAll(pids, programs);
      if (errors != nullptr) outcome.errorOutput = errors->Take();
      return outcome;
    }
    if (watch.keepRunning && !watch.keepRunning()) {
      EndPrograms(pids, pids.front());
      return ProcessOutcome::Stopped();
    }
  }
}

// A pipe between two programs. Both ends are closed on exec; each program
// gets its end through a dup2, and the host closes its copies once every
// program has started, so that a reader sees the end of its input when the
// writer before it ends.
struct StagePipe {
  Descriptor read{-1};
  Descriptor write{-1};
};

bool MakeStagePipe(StagePipe& pipe) {
  int ends[2] = {-1, -1};
  if (pipe2(ends, O_CLOEXEC) != 0) return false;
  pipe.read.Reset(ends[0]);
  pipe.write.Reset(ends[1]);
  return true;
}

// An outcome for a line that started nothing, with the reason.
ProcessOutcome NotStarted(std::string reason, std::int32_t stage = -1,
                          std::string program = {}, std::int32_t stages = 1) {
  ProcessOutcome outcome;
  outcome.startError = std::move(reason);
  outcome.failedStage = stage;
  outcome.program = std::move(program);
  outcome.stageCount = stages;
  return outcome;
}

std::string SystemError(int error) { return std::strerror(error); }

// The programs of a started pipeline, and the names they were started by.
struct StartedPipeline {
  std::vector<pid_t> pids;
  std::vector<std::string> programs;
};

// Where the programs of a pipeline write and how they are grouped.
struct PipelineSetUp {
  std::uint32_t showState = 0;
  bool ownGroup = false;
  // The pipe that the programs' standard error goes into; null: as the
  // show state says.
  PipeReader* errors = nullptr;
  // The pipe that the last program's output goes into instead of a >; null:
  // the > of the line, else as the show state says.
  PipeReader* output = nullptr;
};

// Opens the files of the line and starts its programs. Nothing, with
// `started` filled, when they all started; else the outcome that says why
// nothing runs (programs started before one that could not start are
// ended).
std::optional<ProcessOutcome> StartPipeline(const ParsedCommand& parsed,
                                            const PipelineSetUp& setUp,
                                            StartedPipeline& started) {
  const std::size_t count = parsed.stages.size();
  const auto stageCount = static_cast<std::int32_t>(count);

  // The files of < and > are opened by the host, before anything starts, so
  // that one that cannot be opened is told as such and starts nothing.
  Descriptor input(-1);
  if (parsed.input) {
    input.Reset(open(parsed.input->path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!input.IsOpen()) {
      return NotStarted("cannot read " + parsed.input->path + ": " + SystemError(errno),
                        -1, {}, stageCount);
    }
  }
  Descriptor output(-1);
  if (parsed.output) {
    output.Reset(open(parsed.output->path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC,
                      0666));
    if (!output.IsOpen()) {
      return NotStarted("cannot write " + parsed.output->path + ": " + SystemError(errno),
                        -1, {}, stageCount);
    }
  }

  std::vector<StagePipe> pipes(count - 1);
  for (StagePipe& pipe : pipes) {
    if (!MakeStagePipe(pipe)) {
      return NotStarted("cannot make a pipe: " + SystemError(errno), -1, {}, stageCount);
    }
  }

  std::vector<pid_t>& pids = started.pids;
  std::vector<std::string>& programs = started.programs;
  pids.reserve(count);
  for (std::size_t stage = 0; stage < count; ++stage) {
    std::vector<std::string> words = parsed.stages[stage].arguments;
    programs.push_back(words.front());
    std::vector<char*> argv;
    argv.reserve(words.size() + 1);
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    const bool last = stage + 1 == count;
    StageDescriptors fds;
    fds.input = stage == 0 ? input.get() : pipes[stage - 1].read.get();
    if (!last) {
      fds.output = pipes[stage].write.get();
    } else {
      fds.output = setUp.output != nullptr ? setUp.output->writeEnd() : output.get();
    }
    fds.inheritOutput = setUp.showState != 0;
    fds.errors = setUp.errors != nullptr ? setUp.errors->writeEnd() : -1;
    fds.inheritErrors = setUp.showState != 0;
    FileActions actions;
    SpawnAttributes attributes;
    int failure = ENOMEM;
    if (actions.ok() && attributes.ok()) {
      SetUpDescriptors(actions, fds);
      const pid_t group = !setUp.ownGroup ? -1 : (stage == 0 ? 0 : pids.front());
      SetUpSignals(attributes, group);
      // posix_spawnp searches PATH only for a program name without "/",
      // like the shell. glibc starts the program with vfork semantics, so
      // the cost does not grow with the host's memory, and it reports a
      // failed exec (missing or not executable) as its own result: no
      // child is left running then.
      pid_t pid = 0;
      if (actions.ok() && attributes.ok()) {
        failure = posix_spawnp(&pid, argv[0], actions.get(), attributes.get(), argv.data(),
                               environ);
        if (failure == 0) pids.push_back(pid);
      }
    }
    if (failure != 0) {
      if (!pids.empty()) EndPrograms(pids, setUp.ownGroup ? pids.front() : -1);
      return NotStarted(SystemError(failure), static_cast<std::int32_t>(stage),
                        programs.back(), stageCount);
    }
  }
  // Only the programs hold the pipes' ends and the files now, so each pipe
  // ends when the programs on its writing side have closed it.
  if (setUp.errors != nullptr) setUp.errors->CloseWriteEnd();
  if (setUp.output != nullptr) setUp.output->CloseWriteEnd();
  return std::nullopt;
}

}  // namespace

ProcessOutcome RunProcess(const std::string& commandLine,
                          std::uint32_t showState, bool wait,
                          const ProcessWatch* watch,
                          TextEncoding /*encoding*/) {
  const ParsedCommand parsed = ParseCommandLine(commandLine);
  if (parsed.problem) return NotStarted("the command cannot run: " + parsed.problem->text);
  if (parsed.stages.empty()) return {};

  // The end of hidden programs' errors is kept only when someone waits for
  // them to read it.
  std::optional<PipeReader> errors;
  if (showState == 0 && (wait || watch != nullptr)) {
    errors.emplace(kErrorOutputLimit, PipeReader::Keep::kEnd);
  }
  PipelineSetUp setUp;
  setUp.showState = showState;
  setUp.ownGroup = watch != nullptr;
  setUp.errors = errors && errors->IsOpen() ? &*errors : nullptr;
  StartedPipeline started;
  if (std::optional<ProcessOutcome> notStarted = StartPipeline(parsed, setUp, started)) {
    return std::move(*notStarted);
  }

  ProcessOutcome outcome;
  if (watch != nullptr) {
    outcome = WatchPrograms(started.pids, started.programs, *watch, setUp.errors);
  } else if (!wait) {
    outcome = ProcessOutcome::Started(static_cast<std::uint32_t>(started.pids.front()));
  } else if (setUp.errors != nullptr) {
    outcome = WaitDraining(started.pids, started.programs, *setUp.errors);
  } else {
    outcome = ReapAll(started.pids, started.programs);
  }
  outcome.stageCount = static_cast<std::int32_t>(parsed.stages.size());
  return outcome;
}

CapturedOutput RunCapturingOutput(const std::string& commandLine, std::size_t limit,
                                  std::chrono::milliseconds timeout,
                                  TextEncoding /*encoding*/) {
  CapturedOutput captured;
  const ParsedCommand parsed = ParseCommandLine(commandLine);
  if (parsed.problem) {
    captured.outcome = NotStarted("the command cannot run: " + parsed.problem->text);
    return captured;
  }
  // What the programs print is the host's to read; a > would take it away.
  if (parsed.output) {
    captured.outcome = NotStarted(
        "the command cannot run: its output is read by the plug-in, so it has no > FILE");
    return captured;
  }
  if (parsed.stages.empty()) return captured;

  PipeReader errors(kErrorOutputLimit, PipeReader::Keep::kEnd);
  PipeReader output(limit, PipeReader::Keep::kStart);
  if (!output.IsOpen()) {
    captured.outcome = NotStarted("cannot make a pipe: " + SystemError(errno));
    return captured;
  }
  PipelineSetUp setUp;
  setUp.ownGroup = true;
  setUp.errors = errors.IsOpen() ? &errors : nullptr;
  setUp.output = &output;
  StartedPipeline started;
  if (std::optional<ProcessOutcome> notStarted = StartPipeline(parsed, setUp, started)) {
    captured.outcome = std::move(*notStarted);
    return captured;
  }

  ChildExit exit(started.pids);
  const bool ended = exit.WaitFor(timeout, &output, setUp.errors);
  if (ended) {
    captured.outcome = ReapAll(started.pids, started.programs);
    // What the programs started and left behind is no part of a list: it
    // goes with them, as a Windows job ends it.
    if (GroupHasLiveMember(started.pids.front())) kill(-started.pids.front(), SIGKILL);
  } else {
    // Cut or out of time: the programs, and all they started, go.
    EndPrograms(started.pids, started.pids.front());
    captured.timedOut = !output.full();
    captured.outcome = ProcessOutcome::Stopped();
  }
  captured.output = output.Take();
  // A program that printed past the limit and ended before the host read
  // it all is cut too.
  captured.cut = output.full();
  if (setUp.errors != nullptr) captured.outcome.errorOutput = errors.Take();
  captured.outcome.stageCount = static_cast<std::int32_t>(parsed.stages.size());
  return captured;
}

}  // namespace quendrix::platform
