// The operation log as it lands on disk: exact bytes, append-only, and what
// happens when another writer holds the file.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <iterator>
#include <string>
#include <thread>

#include "extract/log.h"
#include "platform/platform.h"
#include "support/system_fixtures.h"
#include "support/temp_dir.h"

namespace quendrix::testing {
namespace {

struct LineCase {
  const char* label;
  std::int16_t entry;
  std::string_view commandLine;
  std::string_view expected;
};

class LogLineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(LogLineTest, FirstLineCreatesTheFileWithExactlyThatLine) {
  const LineCase& c = GetParam();
  TempDir dir;
  WriteLogLine(c.entry, c.commandLine, dir.str());
  EXPECT_EQ(ReadFile(dir.file("quendrix.log")), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, LogLineTest,
    ::testing::Values(
        LineCase{"plain", 1, "conv.exe in.doc out.txt",
                 "command1 = conv.exe in.doc out.txt\r\n"},
        LineCase{"two_digits", 12, "x", "command12 = x\r\n"},
        LineCase{"entry_zero", 0, "x", "command0 = x\r\n"},
        LineCase{"empty_command", 3, "", "command3 = \r\n"},
        LineCase{"non_ascii", 2, "conv \xE9t\xE9 \xFF\x80.txt",
                 "command2 = conv \xE9t\xE9 \xFF\x80.txt\r\n"},
        LineCase{"line_ends_inside", 4, "a\r\nb\n", "command4 = a\r\nb\n\r\n"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(LogTest, ExistingContentStaysAndNewLinesFollowItsLastByte) {
  TempDir dir;
  const std::string log = dir.file("quendrix.log");
  // No line end at the end, and a NUL inside: nothing is repaired or read.
  const std::string old("first\r\nsecond without end\0x", 25);
  WriteFile(log, old);
  WriteLogLine(5, "run a", dir.str());
  WriteLogLine(5, "run a", dir.str());
  EXPECT_EQ(ReadFile(log), old + "command5 = run a\r\ncommand5 = run a\r\n");
}

TEST(LogTest, LongCommandLineIsWrittenWhole) {
  TempDir dir;
  const std::string command(4095, 'c');
  WriteLogLine(1, command, dir.str());
  EXPECT_EQ(ReadFile(dir.file("quendrix.log")), "command1 = " + command + "\r\n");
}

// The log of the system's rules goes into the user's folder, which need
// not exist yet: the first line makes it, and every folder above it.
TEST(LogTest, MissingFoldersAreMadeForTheFirstLine) {
  TempDir dir;
  const std::string sep(1, platform::kPathSeparator);
  const std::string logDir = dir.file("config") + sep + "quendrix" + sep;
  WriteLogLine(1, "x", logDir);
  WriteLogLine(2, "y", logDir);
  EXPECT_EQ(ReadFile(logDir + "quendrix.log"), "command1 = x\r\ncommand2 = y\r\n");
}

TEST(LogTest, UnusableDirectoryWritesNothingAndReturns) {
  TempDir dir;
  // A file stands where a folder of the log's path should be.
  WriteFile(dir.file("taken"), "");
  const std::string sep(1, platform::kPathSeparator);
  WriteLogLine(1, "x", dir.file("taken") + sep + "quendrix" + sep);
  EXPECT_EQ(ReadFile(dir.file("taken")), "");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()),
            1);
}

TEST(LogTest, LogHeldLongerThanTheRetryWindowLosesOnlyThatLine) {
  TempDir dir;
  const std::string log = dir.file("quendrix.log");
  WriteFile(log, "kept\r\n");
  {
    const ExclusiveHold hold(log);
    ASSERT_TRUE(hold.IsHeld());
    WriteLogLine(1, "lost", dir.str());
  }
  WriteLogLine(2, "next", dir.str());
  EXPECT_EQ(ReadFile(log), "kept\r\ncommand2 = next\r\n");
}

TEST(LogTest, LogHeldBrieflyGetsTheLineOnceReleased) {
  TempDir dir;
  const std::string log = dir.file("quendrix.log");
  WriteFile(log, "kept\r\n");
  std::promise<bool> holding;
  std::thread holder([&] {
    const ExclusiveHold hold(log);
    holding.set_value(hold.IsHeld());
    // Well inside the retry window, yet long enough for several tries to
    // find the file held.
    std::this_thread::sleep_for(kLogRetryWindow / 5);
  });
  const bool held = holding.get_future().get();
  WriteLogLine(3, "waited", dir.str());
  holder.join();
  ASSERT_TRUE(held);
  EXPECT_EQ(ReadFile(log), "kept\r\ncommand3 = waited\r\n");
}

}  // namespace
}  // namespace quendrix::testing
