// The Linux runner's own promises: standard input, hidden output, signals,
// and no shell anywhere.
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "extract/log.h"
#include "extract/runner.h"
#include "support/helper_record.h"
#include "support/temp_dir.h"

namespace quendrix::testing {
namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kHidden = 0;
constexpr std::uint32_t kShown = 1;

// Puts `fd` in place of the test process's descriptor `target` and restores
// the original afterwards.
class ReplacedDescriptor {
 public:
  ReplacedDescriptor(int target, int fd) : target_(target), saved_(dup(target)) {
    dup2(fd, target_);
  }
  ~ReplacedDescriptor() {
    dup2(saved_, target_);
    close(saved_);
  }
  ReplacedDescriptor(const ReplacedDescriptor&) = delete;
  ReplacedDescriptor& operator=(const ReplacedDescriptor&) = delete;

 private:
  int target_;
  int saved_;
};

TEST(PosixRunnerTest, ProgramReadingItsInputEndsAtOnce) {
  TempDir dir;
  const std::string record = dir.file("record.txt");
  // The host's own input is a pipe that stays open and empty: a program
  // reading it would wait for ever.
  int pipeEnds[2];
  ASSERT_EQ(pipe(pipeEnds), 0);
  {
    const ReplacedDescriptor input(STDIN_FILENO, pipeEnds[0]);
    ASSERT_TRUE(RunCommand(HelperCommandLine({"--record", record, "--read-stdin"}),
                           kWaitFlag | kHidden)
                    .started);
  }
  close(pipeEnds[0]);
  close(pipeEnds[1]);
  const std::optional<HelperRecord> recorded = ReadHelperRecord(record);
  ASSERT_TRUE(recorded);
  EXPECT_EQ(recorded->stdinState, "eof");
}

class ShowStateTest
    : public ::testing::TestWithParam<std::pair<std::uint32_t, bool>> {};

TEST_P(ShowStateTest, DecidesWhetherOutputReachesTheHostsStreams) {
  const auto [showState, shown] = GetParam();
  TempDir dir;
  const std::string captured = dir.file("captured.txt");
  const int file = open(captured.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  ASSERT_GE(file, 0);
  std::fflush(stdout);
  std::fflush(stderr);
  {
    const ReplacedDescriptor out(STDOUT_FILENO, file);
    const ReplacedDescriptor err(STDERR_FILENO, file);
    RunCommand(HelperCommandLine({"--print", "helper-output"}),
               kWaitFlag | showState);
  }
  close(file);
  const std::string text = ReadFile(captured);
  if (shown) {
    EXPECT_EQ(text, "helper-output\nhelper-output\n");
  } else {
    EXPECT_EQ(text, "");
  }
}

INSTANTIATE_TEST_SUITE_P(States, ShowStateTest,
                         ::testing::Values(std::pair{kHidden, false},
                                           std::pair{kShown, true},
                                           std::pair{std::uint32_t{9}, true}));

class SignalTest : public ::testing::TestWithParam<int> {};

TEST_P(SignalTest, EndBySignalGives128PlusItsNumber) {
  const int signalNumber = GetParam();
  const platform::ProcessOutcome outcome = RunCommand(
      HelperCommandLine({"--signal", std::to_string(signalNumber)}), kWaitFlag);
  EXPECT_TRUE(outcome.started);
  EXPECT_EQ(outcome.value, 128u + static_cast<std::uint32_t>(signalNumber));
}

INSTANTIATE_TEST_SUITE_P(Signals, SignalTest,
                         ::testing::Values(SIGKILL, SIGTERM, SIGSEGV));

TEST(PosixRunnerTest, ProgramDoesNotTakeOverTheHostsBlockedSignals) {
  sigset_t term, previous;
  sigemptyset(&term);
  sigaddset(&term, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &term, &previous);
  const platform::ProcessOutcome outcome =
      RunCommand(HelperCommandLine({"--signal", std::to_string(SIGTERM)}), kWaitFlag);
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  EXPECT_EQ(outcome.value, 128u + SIGTERM);
}

void IgnoreSignal(int) {}

TEST(PosixRunnerTest, WaitGoesOnAfterTheHostIsInterruptedBySignals) {
  // A handler without SA_RESTART makes waitpid fail with EINTR.
  struct sigaction action {}, previous {};
  action.sa_handler = IgnoreSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;
  sigaction(SIGUSR1, &action, &previous);
  const pthread_t waiter = pthread_self();
  std::thread interrupter([waiter] {
    for (int i = 0; i < 5; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      pthread_kill(waiter, SIGUSR1);
    }
  });
  const platform::ProcessOutcome outcome =
      RunCommand(HelperCommandLine({"--sleep", "600", "--exit", "5"}), kWaitFlag);
  interrupter.join();
  sigaction(SIGUSR1, &previous, nullptr);
  EXPECT_TRUE(outcome.started);
  EXPECT_EQ(outcome.value, 5u);
}

struct ScriptCase {
  const char* label;
  mode_t mode;
};

class ScriptTest : public ::testing::TestWithParam<ScriptCase> {};

// A shell would run a script without a "#!" line, or hand > and | their
// meaning; the runner starts programs only.
TEST_P(ScriptTest, ShellScriptIsNotRunThroughAShell) {
  TempDir dir;
  const std::string script = dir.file("script");
  const std::string marker = dir.file("marker");
  WriteFile(script, "touch " + marker + "\n");
  ASSERT_EQ(chmod(script.c_str(), GetParam().mode), 0);
  const platform::ProcessOutcome outcome =
      RunCommand(CommandLineOf({script}), kWaitFlag);
  EXPECT_FALSE(outcome.started);
  EXPECT_FALSE(fs::exists(marker));
}

INSTANTIATE_TEST_SUITE_P(Modes, ScriptTest,
                         ::testing::Values(ScriptCase{"executable", 0755},
                                           ScriptCase{"not_executable", 0644}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(PosixRunnerTest, RedirectionAndPipeCharactersReachTheProgramAsWords) {
  TempDir dir;
  const std::string record = dir.file("record.txt");
  const std::string line =
      HelperCommandLine({"--record", record}) + " > " + dir.file("out") + " | cat";
  ASSERT_TRUE(RunCommand(line, kWaitFlag).started);
  const std::optional<HelperRecord> recorded = ReadHelperRecord(record);
  ASSERT_TRUE(recorded);
  EXPECT_EQ(recorded->args,
            (std::vector<std::string>{">", dir.file("out"), "|", "cat"}));
  EXPECT_FALSE(fs::exists(dir.file("out")));
}

TEST(PosixLogTest, LogThatIsAFifoIsLeftAloneWithoutWaiting) {
  TempDir dir;
  ASSERT_EQ(mkfifo(dir.file("quendrix.log").c_str(), 0644), 0);
  WriteLogLine(1, "x", dir.str());
  EXPECT_TRUE(fs::is_fifo(dir.file("quendrix.log")));
}

TEST(PosixLogTest, NewLogIsReadableByAllAndWritableByItsOwner) {
  TempDir dir;
  const mode_t previous = umask(0);
  WriteLogLine(1, "x", dir.str());
  umask(previous);
  struct stat info {};
  ASSERT_EQ(stat(dir.file("quendrix.log").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644u);
}

}  // namespace
}  // namespace quendrix::testing
