// A program's standard output read into memory on the platform it was built
// for, with the test helper as the program: what is read, how the size and
// time limits end it and everything it started, what comes back when
// nothing starts, and what of the host reaches it.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "support/case_name.h"
#include "support/helper_record.h"
#include "support/system_fixtures.h"
#include "support/temp_dir.h"
#include "support/windows_build.h"

namespace quendrix::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using platform::CapturedOutput;
using platform::TextEncoding;
using CaptureTestClock = std::chrono::steady_clock;

constexpr std::size_t kMebibyte = 1024 * 1024;

// What the helper's --stdout-bytes COUNT writes.
std::string HelperOutputBytes(std::size_t count) {
  std::string bytes;
  for (long line = 1; bytes.size() < count; ++line) {
    bytes += "abcdefghijklmnopqrstuvwxyz " + std::to_string(line) + "\n";
  }
  bytes.resize(count);
  return bytes;
}

// The number that ends the last line of the helper's --stderr-bytes, the
// line end of the platform's text streams after it; -1 when the text ends
// otherwise.
long LastLineNumber(std::string_view text) {
  const std::string_view lineEnd = kWindows ? "\r\n" : "\n";
  if (!text.ends_with(lineEnd)) return -1;
  text.remove_suffix(lineEnd.size());
  const std::size_t blank = text.rfind(' ');
  if (blank == std::string_view::npos) return -1;
  const std::string digits(text.substr(blank + 1));
  if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) return -1;
  return std::stol(digits);
}

// The process identifier a helper wrote with --pid-file; 0 when it wrote
// none within a few seconds.
long PidFrom(const std::string& path) {
  for (int step = 0; step < 100 && !fs::exists(path); ++step) {
    std::this_thread::sleep_for(50ms);
  }
  const std::string text = ReadFile(path);
  return text.empty() ? 0 : std::stol(text);
}

// Whether the process has ended, or does so within a few seconds: a process
// that is being ended may take a moment to be gone.
bool EndsSoon(long pid) {
  for (int step = 0; step < 100; ++step) {
    if (ProcessHasEnded(pid)) return true;
    std::this_thread::sleep_for(50ms);
  }
  return false;
}

// ---------------------------------------------------------------------------
// How a run ends, and what it read.

enum class CaptureEnd { kExited, kCut, kTimedOut };

struct CaptureCase {
  const char* label;
  // The helper's options; "{program}" and "{child}" stand for the files
  // that the program and the program it starts write their identifiers to.
  std::vector<std::string> words;
  std::size_t limit = kMebibyte;
  std::chrono::milliseconds timeout = 60s;
  TextEncoding encoding = TextEncoding::kSystem;
  CaptureEnd end = CaptureEnd::kExited;
  // The output is the first outputBytes bytes of what --stdout-bytes writes.
  std::size_t outputBytes = 0;
  std::uint32_t exitCode = 0;
  // The helper wrote this many bytes with --stderr-bytes; their end is kept.
  bool errorsWritten = false;
};

class CaptureEndTest : public ::testing::TestWithParam<CaptureCase> {
 protected:
  TempDir dir_;
  std::string programPid_ = dir_.file("program.pid");
  std::string childPid_ = dir_.file("child.pid");
};

TEST_P(CaptureEndTest, ReadsAndEndsAsTheLimitsSay) {
  const CaptureCase& row = GetParam();
  std::vector<std::string> words;
  bool namesProgram = false;
  bool namesChild = false;
  for (const std::string& word : row.words) {
    if (word == "{program}") {
      words.push_back(programPid_);
      namesProgram = true;
    } else if (word == "{child}") {
      words.push_back(childPid_);
      namesChild = true;
    } else {
      words.push_back(word);
    }
  }

  std::string line = HelperCommandLine(words);
  if (row.encoding == TextEncoding::kUtf8) line = platform::Utf8FromSystemText(line);

  const auto started = CaptureTestClock::now();
  const CapturedOutput captured =
      platform::RunCapturingOutput(line, row.limit, row.timeout, row.encoding);
  const auto elapsed = CaptureTestClock::now() - started;

  EXPECT_TRUE(captured.outcome.started) << captured.outcome.startError;
  EXPECT_EQ(captured.output, HelperOutputBytes(row.outputBytes));
  EXPECT_EQ(captured.cut, row.end == CaptureEnd::kCut);
  EXPECT_EQ(captured.timedOut, row.end == CaptureEnd::kTimedOut);
  EXPECT_EQ(captured.outcome.stopped, row.end != CaptureEnd::kExited);
  if (row.end == CaptureEnd::kExited) {
    EXPECT_EQ(captured.outcome.value, row.exitCode);
  } else {
    // Everything the program started goes with it.
    if (namesProgram) {
      const long pid = PidFrom(programPid_);
      ASSERT_NE(pid, 0) << "the program never started";
      EXPECT_TRUE(EndsSoon(pid)) << "the program runs on";
    }
    if (namesChild) {
      const long pid = PidFrom(childPid_);
      ASSERT_NE(pid, 0) << "the program's own program never started";
      EXPECT_TRUE(EndsSoon(pid)) << "the program's own program runs on";
    }
  }
  if (row.end == CaptureEnd::kTimedOut) {
    EXPECT_GE(elapsed, row.timeout);
    EXPECT_LT(elapsed, row.timeout + 20s) << "the time limit did not end the run";
  }
  if (row.errorsWritten) {
    // The end of a long error stream, not its start.
    EXPECT_EQ(captured.outcome.errorOutput.size(), platform::kErrorOutputLimit);
    EXPECT_GT(LastLineNumber(captured.outcome.errorOutput), 1000)
        << captured.outcome.errorOutput;
  } else {
    EXPECT_EQ(captured.outcome.errorOutput, "");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, CaptureEndTest,
    ::testing::Values(
        // More than a pipe holds, so it is read while the program writes.
        CaptureCase{.label = "whole_output",
                    .words = {"--stdout-bytes", "300000"},
                    .outputBytes = 300000},
        CaptureCase{.label = "whole_output_utf8_text",
                    .words = {"--stdout-bytes", "300000"},
                    .encoding = TextEncoding::kUtf8,
                    .outputBytes = 300000},
        CaptureCase{.label = "empty_output", .words = {}},
        CaptureCase{.label = "exactly_the_limit",
                    .words = {"--stdout-bytes", "5000"},
                    .limit = 5000,
                    .outputBytes = 5000},
        CaptureCase{.label = "exit_status_passed_through",
                    .words = {"--stdout-bytes", "10", "--exit", "42"},
                    .outputBytes = 10,
                    .exitCode = 42},
        // A host that read one pipe to its end before the other would wait
        // for ever on a program blocked on the other, full one.
        CaptureCase{.label = "both_pipes_past_their_buffers",
                    .words = {"--stdout-bytes", "300000", "--stderr-bytes", "300000"},
                    .outputBytes = 300000,
                    .errorsWritten = true},
        CaptureCase{.label = "end_of_errors_kept",
                    .words = {"--stderr-bytes", "200000", "--exit", "3"},
                    .exitCode = 3,
                    .errorsWritten = true},
        CaptureCase{.label = "past_the_limit",
                    .words = {"--pid-file", "{program}", "--stdout-bytes", "100000000"},
                    .limit = 5000,
                    .end = CaptureEnd::kCut,
                    .outputBytes = 5000},
        CaptureCase{.label = "never_exits",
                    .words = {"--pid-file", "{program}", "--sleep", "60000"},
                    .timeout = 1500ms,
                    .end = CaptureEnd::kTimedOut},
        // The program's own program has time to write its identifier before
        // the limit ends them.
        CaptureCase{.label = "started_program_outlives_the_time_limit",
                    .words = {"--pid-file", "{program}", "--start-sleeper", "{child}",
                              "60000", "--sleep", "60000"},
                    .timeout = 3000ms,
                    .end = CaptureEnd::kTimedOut},
        CaptureCase{.label = "started_program_outlives_the_cut",
                    .words = {"--pid-file", "{program}", "--start-sleeper", "{child}",
                              "60000", "--sleep", "1500", "--stdout-bytes", "100000000"},
                    .limit = 5000,
                    .end = CaptureEnd::kCut,
                    .outputBytes = 5000},
        // What the program leaves running (and may still hold its output)
        // is not waited for: the run ends with the program, well within a
        // time limit that is shorter than the other program's sleep.
        CaptureCase{.label = "program_leaves_a_program_behind",
                    .words = {"--start-sleeper", "{child}", "20000", "--sleep", "1000",
                              "--stdout-bytes", "100", "--exit", "5"},
                    .timeout = 15s,
                    .outputBytes = 100,
                    .exitCode = 5}),
    CaseName{});

// ---------------------------------------------------------------------------
// A program that cannot be started.

struct MissingProgramCase {
  const char* label;
  const char* name;
  TextEncoding encoding;
};

class CaptureMissingProgramTest : public ::testing::TestWithParam<MissingProgramCase> {};

TEST_P(CaptureMissingProgramTest, StartsNothingAndSaysWhy) {
  const TempDir dir;
  const std::string program =
      GetParam().encoding == TextEncoding::kUtf8 ? dir.utf8File(GetParam().name)
                                                 : dir.file(GetParam().name);
  const CapturedOutput captured = platform::RunCapturingOutput(
      CommandLineOf({program, "x"}), kMebibyte, 60s, GetParam().encoding);

  EXPECT_FALSE(captured.outcome.started);
  EXPECT_EQ(captured.outcome.failedStage, 0);
  EXPECT_EQ(captured.outcome.program, program);
  EXPECT_NE(captured.outcome.startError, "");
  EXPECT_EQ(captured.output, "");
  EXPECT_FALSE(captured.cut);
  EXPECT_FALSE(captured.timedOut);
}

INSTANTIATE_TEST_SUITE_P(
    Names, CaptureMissingProgramTest,
    ::testing::Values(MissingProgramCase{"system_text", "no-such-program", TextEncoding::kSystem},
                      // A name no code page writes reaches the wide function.
                      MissingProgramCase{"utf8_text", "no-such-\xce\xbb\xe2\x82\xac-program",
                                         TextEncoding::kUtf8}),
    CaseName{});

// ---------------------------------------------------------------------------
// What of the host reaches the program.

TEST(CaptureHandlesTest, NoInheritableHandleOfTheHostReachesTheProgram) {
  const TempDir dir;
  const std::string secret = dir.file("secret.txt");
  WriteFile(secret, "host-only");
  const InheritableFile file(secret);
  ASSERT_TRUE(file.IsOpen());
  const std::string record = dir.file("record.txt");

  const CapturedOutput captured = platform::RunCapturingOutput(
      HelperCommandLine({"--record", record, "--probe", file.Value(), "--read-stdin",
                         "--print", "listed"}),
      kMebibyte, 60s);

  ASSERT_TRUE(captured.outcome.started) << captured.outcome.startError;
  EXPECT_EQ(captured.outcome.value, 0u);
  EXPECT_EQ(captured.output, kWindows ? "listed\r\n" : "listed\n");
  const std::optional<HelperRecord> recorded = ReadHelperRecord(record);
  ASSERT_TRUE(recorded.has_value()) << "the helper left no complete record";
  EXPECT_EQ(recorded->probes.at(file.Value()), std::nullopt)
      << "a handle the host made inheritable reached the program";
  // Where the program can list its descriptors, only the three standard
  // ones are there, and its input is empty.
  for (int fd : recorded->descriptors) EXPECT_LT(fd, 3) << "descriptor " << fd;
  if (!kWindows) {
    EXPECT_EQ(recorded->stdinState, "eof");
  }
}

// Each way a run ends closes every handle (or descriptor) it opened in the
// host: pipes, the null device, the process, its thread and its job.
TEST(CaptureHandlesTest, EveryEndClosesWhatItOpened) {
  const TempDir dir;
  const auto runEach = [&dir] {
    const CapturedOutput exited = platform::RunCapturingOutput(
        HelperCommandLine({"--stdout-bytes", "1000", "--stderr-bytes", "1000"}), kMebibyte, 60s);
    EXPECT_EQ(exited.output.size(), 1000u);
    const CapturedOutput cut = platform::RunCapturingOutput(
        HelperCommandLine({"--stdout-bytes", "100000000"}), 1000, 60s);
    EXPECT_TRUE(cut.cut);
    const CapturedOutput timedOut =
        platform::RunCapturingOutput(HelperCommandLine({"--sleep", "60000"}), kMebibyte, 500ms);
    EXPECT_TRUE(timedOut.timedOut);
    const CapturedOutput missing = platform::RunCapturingOutput(
        CommandLineOf({dir.file("no-such-program")}), kMebibyte, 60s);
    EXPECT_FALSE(missing.outcome.started);
  };
  // The first runs may open what the system keeps for the process's life.
  runEach();
  const std::size_t before = OpenHandleCount();
  runEach();
  EXPECT_EQ(OpenHandleCount(), before);
}

}  // namespace
}  // namespace quendrix::testing
