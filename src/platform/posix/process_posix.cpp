// POSIX: starting a program with posix_spawn and waiting for it.
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/posix/child_exit.h"
#include "platform/posix/error_tail.h"

#include "platform/platform.h"
#include "format/shell_words.h"

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

// Standard input always reads from /dev/null, so a converter that waits for
// input ends at once instead of hanging the host. Hidden programs write
// their output into /dev/null as well, and their errors into the pipe of
// `errors` when there is one, so that a failure can be told with the
// program's own words. Every other descriptor is closed, whatever its
// close-on-exec flag: the host's files and sockets are none of the
// program's business, and a pipe end that leaked into a long-running
// converter would keep the host's reader waiting.
void SetUpDescriptors(FileActions& actions, std::uint32_t showState,
                      const ErrorTail* errors) {
  actions.Check(posix_spawn_file_actions_addopen(actions.get(), STDIN_FILENO,
                                                 kNullDevice, O_RDONLY, 0));
  if (showState == 0) {
    actions.Check(posix_spawn_file_actions_addopen(
        actions.get(), STDOUT_FILENO, kNullDevice, O_WRONLY, 0));
    if (errors != nullptr && errors->IsOpen()) {
      actions.Check(posix_spawn_file_actions_adddup2(
          actions.get(), errors->writeEnd(), STDERR_FILENO));
    } else {
      actions.Check(posix_spawn_file_actions_adddup2(
          actions.get(), STDOUT_FILENO, STDERR_FILENO));
    }
  }
  actions.Check(posix_spawn_file_actions_addclosefrom_np(actions.get(),
                                                         kFirstHostDescriptor));
}

// The program starts with no blocked signals and the default action for
// every signal, rather than with whatever mask or ignored signals the host
// happens to use for itself (a host that ignores SIGPIPE, say). A watched
// program heads a process group of its own, which holds everything it
// starts, so that stopping it stops them too; the group is also out of the
// terminal's reach, so a Ctrl+C meant for the host reaches it only through
// the host's decision to stop it.
void SetUpSignals(SpawnAttributes& attributes, bool ownGroup) {
  sigset_t none;
  sigset_t all;
  sigemptyset(&none);
  sigfillset(&all);
  attributes.Check(posix_spawnattr_setsigmask(attributes.get(), &none));
  attributes.Check(posix_spawnattr_setsigdefault(attributes.get(), &all));
  short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
  if (ownGroup) {
    attributes.Check(posix_spawnattr_setpgroup(attributes.get(), 0));
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

// Waits for the child `pid` without a time limit, draining `errors` while
// it runs.
ProcessOutcome WaitDraining(pid_t pid, ErrorTail& errors) {
  ChildExit exit(pid);
  while (!exit.WaitFor(std::chrono::hours(1), &errors)) {
  }
  ProcessOutcome outcome = WaitForExit(pid);
  // What the program's own children still write after it ended is theirs;
  // the pipe is read as far as it holds data now, never waited on.
  outcome.errorOutput = errors.Take();
  return outcome;
}

// Ends the group that `pid` heads: asks first (SIGTERM), ends it for good
// (SIGKILL) when it is still there after the grace, and reaps the head.
void EndGroup(pid_t pid) {
  kill(-pid, SIGTERM);
  const auto deadline = std::chrono::steady_clock::now() + kStopGrace;
  while (std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    const pid_t reaped = waitpid(pid, &status, WNOHANG);
    // The head's own end is not enough: what it started may linger.
    if ((reaped == pid || (reaped < 0 && errno == ECHILD)) && !GroupHasLiveMember(pid)) {
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  kill(-pid, SIGKILL);
  WaitForExit(pid);
  // SIGKILL cannot be refused; the members go within moments, and a
  // member stuck in the kernel does not hold the host for longer than this.
  for (int step = 0; step < 100 && GroupHasLiveMember(pid); ++step) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

// Waits for the child `pid` in steps of the watch's interval, asking the
// watch after each step whether it may go on.
ProcessOutcome WatchProgram(pid_t pid, const ProcessWatch& watch,
                            ErrorTail* errors) {
  ChildExit exit(pid);
  for (;;) {
    if (exit.WaitFor(watch.interval, errors)) {
      ProcessOutcome outcome = WaitForExit(pid);
      if (errors != nullptr) outcome.errorOutput = errors->Take();
      return outcome;
    }
    if (watch.keepRunning && !watch.keepRunning()) {
      EndGroup(pid);
      return ProcessOutcome::Stopped();
    }
  }
}

}  // namespace

ProcessOutcome RunProcess(const std::string& commandLine,
                          std::uint32_t showState, bool wait,
                          const ProcessWatch* watch,
                          TextEncoding /*encoding*/) {
  std::vector<std::string> words = SplitCommandLine(commandLine);
  if (words.empty()) return {};
  std::vector<char*> argv;
  argv.reserve(words.size() + 1);
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  // The end of a hidden program's errors is kept only when someone waits
  // for the program to read it.
  std::optional<ErrorTail> errors;
  if (showState == 0 && (wait || watch != nullptr)) errors.emplace(kErrorOutputLimit);
  ErrorTail* tail = errors && errors->IsOpen() ? &*errors : nullptr;

  FileActions actions;
  SpawnAttributes attributes;
  if (!actions.ok() || !attributes.ok()) return {};
  SetUpDescriptors(actions, showState, tail);
  SetUpSignals(attributes, watch != nullptr);
  if (!actions.ok() || !attributes.ok()) return {};

  // posix_spawnp searches PATH only for a program name without "/", like the
  // shell. glibc starts the program with vfork semantics, so the cost does
  // not grow with the host's memory, and it reports a failed exec (missing
  // or not executable) as its own result: no child is left running then.
  pid_t pid = 0;
  if (posix_spawnp(&pid, argv[0], actions.get(), attributes.get(), argv.data(),
                   environ) != 0) {
    return {};
  }
  // Only the program holds the writing end now, so the pipe ends when it
  // and whatever it started have closed it.
  if (tail != nullptr) tail->CloseWriteEnd();
  if (watch != nullptr) return WatchProgram(pid, *watch, tail);
  if (!wait) return ProcessOutcome::Started(static_cast<std::uint32_t>(pid));
  if (tail != nullptr) return WaitDraining(pid, *tail);
  return WaitForExit(pid);
}

}  // namespace quendrix::platform
