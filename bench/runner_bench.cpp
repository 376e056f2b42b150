// What starting a converter costs: RunCommand of /bin/true next to a bare
// posix_spawn and waitpid of the same program, once from a small process and
// once from a process that holds 2 GiB of touched memory, as a large file
// manager does. fork and exec is measured alongside for comparison, because
// its cost grows with the memory of the process that forks.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>

#include "extract/runner.h"

extern char** environ;

namespace {

constexpr char kProgram[] = "/bin/true";
constexpr std::size_t kGiB = std::size_t{1} << 30;

// The memory a large host holds. Every page is written, so that it is really
// mapped and a fork would have to copy its page tables.
class Ballast {
 public:
  static void Hold(std::size_t bytes) {
    if (bytes == size_) return;
    memory_.reset();
    size_ = 0;
    if (bytes == 0) return;
    memory_ = std::make_unique_for_overwrite<char[]>(bytes);
    std::memset(memory_.get(), 1, bytes);
    size_ = bytes;
  }

 private:
  static inline std::unique_ptr<char[]> memory_;
  static inline std::size_t size_ = 0;
};

void HoldBallast(benchmark::State& state) {
  Ballast::Hold(static_cast<std::size_t>(state.range(0)) * kGiB);
  state.counters["host_GiB"] = static_cast<double>(state.range(0));
}

void BM_RunCommand(benchmark::State& state) {
  HoldBallast(state);
  const std::string line = kProgram;
  for (auto _ : state) {
    const quendrix::platform::ProcessOutcome outcome =
        quendrix::RunCommand(line, quendrix::kWaitFlag);
    if (!outcome.started || outcome.value != 0) {
      state.SkipWithError("RunCommand did not run /bin/true");
      break;
    }
  }
}

void BM_BarePosixSpawn(benchmark::State& state) {
  HoldBallast(state);
  char program[] = "/bin/true";
  char* argv[] = {program, nullptr};
  for (auto _ : state) {
    pid_t pid = 0;
    int status = 0;
    if (posix_spawn(&pid, kProgram, nullptr, nullptr, argv, environ) != 0 ||
        waitpid(pid, &status, 0) != pid) {
      state.SkipWithError("posix_spawn failed");
      break;
    }
  }
}

void BM_ForkExec(benchmark::State& state) {
  HoldBallast(state);
  char program[] = "/bin/true";
  char* argv[] = {program, nullptr};
  for (auto _ : state) {
    const pid_t pid = fork();
    if (pid == 0) {
      execv(kProgram, argv);
      _exit(127);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) {
      state.SkipWithError("fork failed");
      break;
    }
  }
}

// The small host first, then the large one; within each, the runner and the
// bare spawn side by side.
BENCHMARK(BM_RunCommand)->Arg(0)->UseRealTime();
BENCHMARK(BM_BarePosixSpawn)->Arg(0)->UseRealTime();
BENCHMARK(BM_ForkExec)->Arg(0)->UseRealTime();
BENCHMARK(BM_RunCommand)->Arg(2)->UseRealTime();
BENCHMARK(BM_BarePosixSpawn)->Arg(2)->UseRealTime();
BENCHMARK(BM_ForkExec)->Arg(2)->UseRealTime();

}  // namespace
