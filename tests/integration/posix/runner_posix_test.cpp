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
// Whether a live process (not a zombie) has `argument` among its arguments.
bool ProcessWithArgumentExists(const std::string& argument) {
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    const std::string status = ReadFile(entry.path() / "status");
    if (status.find("State:\tZ") != std::string::npos) continue;
    std::string arguments = ReadFile(entry.path() / "cmdline");
    for (char& c : arguments) {
      if (c == '\0') c = '\n';
    }
    if (("\n" + arguments).find("\n" + argument + "\n") != std::string::npos) return true;
  }
  return false;
}

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

// Quoted or escaped, < > and | are words like any other; unquoted they join
// programs and files, and no shell is started for them.
TEST(PosixRunnerTest, QuotedOperatorsReachTheProgramAsWords) {
  TempDir dir;
  const std::string record = dir.file("record.txt");
  const std::string line =
      HelperCommandLine({"--record", record}) + " '>' \"|\" \\< 'a > b' x\\|y";
  ASSERT_TRUE(RunCommand(line, kWaitFlag).started);
  const std::optional<HelperRecord> recorded = ReadHelperRecord(record);
  ASSERT_TRUE(recorded);
  EXPECT_EQ(recorded->args, (std::vector<std::string>{">", "|", "<", "a > b", "x|y"}));
}

// How a pipeline ended: a failure when any of its programs failed, told by
// the last of those (as the shell's pipefail does); a program that a closed
// pipe ended, because the one after it had read enough, is no failure.
TEST(PosixRunnerTest, PipelineEndsAsItsLastFailingProgram) {
  struct Case {
    const char* label;
    std::vector<std::string> stages;  // each a command line of its own
    std::uint32_t value;
    std::int32_t failedStage;
  };
  const std::string cat = HelperCommandLine({"--cat", "x"});
  const Case cases[] = {
      {"AllSucceed", {cat, cat, cat}, 0, -1},
      {"FirstFails", {HelperCommandLine({"--exit", "3"}), cat, cat}, 3, 0},
      {"MiddleFails", {cat, HelperCommandLine({"--exit", "4"}), cat}, 4, 1},
      {"LastOfTwoFailing", {HelperCommandLine({"--exit", "5"}), HelperCommandLine({"--exit", "6"})},
       6, 1},
      {"ClosedPipeIsNoFailure", {"/usr/bin/yes", "/usr/bin/head -n 1"}, 0, -1},
      {"ClosedPipeBeforeAFailure",
       {"/usr/bin/yes", "/usr/bin/head -n 1", HelperCommandLine({"--exit", "7"})}, 7, 2},
  };
  for (const Case& c : cases) {
    std::string line;
    for (const std::string& stage : c.stages) line += (line.empty() ? "" : " | ") + stage;
    const platform::ProcessOutcome outcome = RunCommand(line, kWaitFlag);
    EXPECT_TRUE(outcome.started) << c.label;
    EXPECT_EQ(outcome.value, c.value) << c.label;
    EXPECT_EQ(outcome.failedStage, c.failedStage) << c.label;
    EXPECT_EQ(outcome.stageCount, static_cast<std::int32_t>(c.stages.size())) << c.label;
  }
}

// Nothing runs when a file of the line cannot be opened or a program cannot
// be started, and the outcome says why; programs started before one that
// could not start are ended.
TEST(PosixRunnerTest, LineThatCannotRunSaysWhy) {
  TempDir dir;
  const std::string pid = dir.file("first.pid");
  const std::string sleeper = HelperCommandLine({"--pid-file", pid, "--sleep", "60000"});
  struct Case {
    std::string line;
    std::string startError;
    std::int32_t failedStage;
  };
  const Case cases[] = {
      {HelperCommandLine({}) + " < " + dir.file("missing"),
       "cannot read " + dir.file("missing") + ": No such file or directory", -1},
      {HelperCommandLine({}) + " > " + dir.str(), "cannot write " + dir.str() + ": Is a directory",
       -1},
      {"/no/such/program", "No such file or directory", 0},
      {sleeper + " | /no/such/program", "No such file or directory", 1},
      {HelperCommandLine({}) + " >", "the command cannot run: > has no file after it", -1},
  };
  for (const Case& c : cases) {
    const auto began = std::chrono::steady_clock::now();
    const platform::ProcessOutcome outcome = RunCommand(c.line, kWaitFlag);
    EXPECT_FALSE(outcome.started) << c.line;
    EXPECT_EQ(outcome.startError, c.startError) << c.line;
    EXPECT_EQ(outcome.failedStage, c.failedStage) << c.line;
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(30)) << c.line;
  }
  // The sleeper that started before the missing program is gone (it may
  // have been ended before it wrote its identifier, so it is looked for by
  // its arguments).
  EXPECT_FALSE(ProcessWithArgumentExists(pid));
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
