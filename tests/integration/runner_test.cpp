// The command runner on the platform it was built for, with the test helper
// standing in for a converter: what the started program receives, and what
// the runner reports back.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "extract/runner.h"
#include "support/helper_record.h"
#include "support/system_fixtures.h"
#include "support/temp_dir.h"

namespace quendrix::testing {
namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kHiddenAndWait = kWaitFlag | 0;

class RunnerTest : public ::testing::Test {
 protected:
  platform::ProcessOutcome RunHelper(const std::vector<std::string>& words) {
    std::vector<std::string> all{"--record", record_};
    all.insert(all.end(), words.begin(), words.end());
    return RunCommand(HelperCommandLine(all), kHiddenAndWait);
  }

  HelperRecord Recorded() const {
    std::optional<HelperRecord> record = ReadHelperRecord(record_);
    if (!record) ADD_FAILURE() << "the helper left no complete record";
    return record.value_or(HelperRecord{});
  }

  TempDir dir_;
  std::string record_ = dir_.file("record.txt");
};

// ---------------------------------------------------------------------------
// The command line reaches the program whole.

class LongCommandLineTest : public RunnerTest,
                            public ::testing::WithParamInterface<std::size_t> {};

TEST_P(LongCommandLineTest, ReachesTheProgramWithoutACut) {
  const std::size_t length = GetParam();
  // Words of assorted lengths, so that a cut at any place would drop or
  // shorten one of them; the last word pads the line to the length wanted.
  std::vector<std::string> words{"--record", record_, "--"};
  for (std::size_t i = 0; HelperCommandLine(words).size() + 60 < length; ++i) {
    words.push_back(std::string(1 + i % 37, static_cast<char>('a' + i % 26)));
  }
  const std::size_t used = HelperCommandLine(words).size() + 1;
  ASSERT_LT(used, length);
  words.push_back(std::string(length - used, 'z'));
  const std::string line = HelperCommandLine(words);
  ASSERT_EQ(line.size(), length);

  EXPECT_EQ(RunCommand(line, kHiddenAndWait).started, true);

  const HelperRecord record = Recorded();
  const std::vector<std::string> operands(words.begin() + 3, words.end());
  EXPECT_EQ(record.args, operands);
  // Windows hands the program its command line as it is: it must be the
  // very line that was run, and that the log shows.
  if (record.commandLine) {
    EXPECT_EQ(*record.commandLine, line);
  }
}

// 300 passes the old 256-byte cut; 4095 is the longest final command line an
// entry can hold.
INSTANTIATE_TEST_SUITE_P(Lengths, LongCommandLineTest,
                         ::testing::Values(std::size_t{300}, std::size_t{4095}));

TEST_F(RunnerTest, WordsWithBlanksArriveAsOneArgument) {
  ASSERT_TRUE(RunHelper({"--", "two words", "plain", "a\tb"}).started);
  EXPECT_EQ(Recorded().args,
            (std::vector<std::string>{"two words", "plain", "a\tb"}));
}

// ---------------------------------------------------------------------------
// Command lines that start nothing.

struct NotStartedCase {
  const char* label;
  std::string (*commandLine)(const TempDir& dir);
};

class NotStartedTest : public ::testing::TestWithParam<NotStartedCase> {};

TEST_P(NotStartedTest, ReportsNothingStarted) {
  TempDir dir;
  WriteFile(dir.file("plain.txt"), "just text\n");
  const platform::ProcessOutcome outcome =
      RunCommand(GetParam().commandLine(dir), kHiddenAndWait);
  EXPECT_FALSE(outcome.started);
  EXPECT_EQ(outcome.value, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Table, NotStartedTest,
    ::testing::Values(
        NotStartedCase{"empty", [](const TempDir&) { return std::string(); }},
        NotStartedCase{"blanks", [](const TempDir&) { return std::string("   "); }},
        NotStartedCase{"missing_path",
                       [](const TempDir& d) {
                         return CommandLineOf({d.file("no-such-program"), "x"});
                       }},
        NotStartedCase{"missing_name",
                       [](const TempDir&) {
                         return std::string("quendrix-no-such-program-4711 x");
                       }},
        NotStartedCase{"directory",
                       [](const TempDir& d) {
                         return CommandLineOf({d.path().string()});
                       }},
        NotStartedCase{"plain_file",
                       [](const TempDir& d) {
                         return CommandLineOf({d.file("plain.txt"), "x"});
                       }}),
    [](const auto& info) { return std::string(info.param.label); });

// ---------------------------------------------------------------------------
// What comes back.

class ExitCodeTest : public RunnerTest,
                     public ::testing::WithParamInterface<int> {};

TEST_P(ExitCodeTest, IsTheResult) {
  const platform::ProcessOutcome outcome =
      RunHelper({"--exit", std::to_string(GetParam())});
  EXPECT_TRUE(outcome.started);
  EXPECT_EQ(outcome.value, static_cast<std::uint32_t>(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Codes, ExitCodeTest, ::testing::Values(0, 1, 42, 255));

TEST_F(RunnerTest, WithoutTheWaitFlagTheResultIsTheProcessId) {
  const platform::ProcessOutcome outcome =
      RunCommand(HelperCommandLine({"--exit", "7"}), 0);
  EXPECT_TRUE(outcome.started);
  EXPECT_NE(outcome.value, 0u);
  EXPECT_NE(outcome.value, 7u);
}

TEST_F(RunnerTest, WaitsUntilTheProgramHasEnded) {
  // The exit code of a program that sleeps first exists only once it has
  // ended.
  const platform::ProcessOutcome outcome = RunHelper({"--sleep", "300", "--exit", "3"});
  EXPECT_TRUE(outcome.started);
  EXPECT_EQ(outcome.value, 3u);
}

// ---------------------------------------------------------------------------
// What the program inherits from the host, and what it does not.

class WorkingDirectory {
 public:
  explicit WorkingDirectory(const fs::path& path) : previous_(fs::current_path()) {
    fs::current_path(path);
  }
  ~WorkingDirectory() { fs::current_path(previous_); }

 private:
  fs::path previous_;
};

TEST_F(RunnerTest, SeesTheHostsEnvironmentAndWorkingDirectory) {
  const ScopedEnvironmentVariable variable("QUENDRIX_RUNNER_PROBE",
                                           "value with blanks");
  const fs::path workDir = dir_.path() / "work";
  fs::create_directory(workDir);
  {
    const WorkingDirectory inWorkDir(workDir);
    ASSERT_TRUE(RunHelper({"--env", "QUENDRIX_RUNNER_PROBE"}).started);
  }
  const HelperRecord record = Recorded();
  EXPECT_EQ(record.env.at("QUENDRIX_RUNNER_PROBE"),
            std::optional<std::string>("value with blanks"));
  std::error_code error;
  EXPECT_TRUE(fs::equivalent(record.cwd, workDir, error)) << record.cwd;
}

TEST_F(RunnerTest, InheritsNoHandleEvenAnInheritableOne) {
  const std::string secret = dir_.file("secret.txt");
  WriteFile(secret, "host-only");
  const InheritableFile file(secret);
  ASSERT_TRUE(file.IsOpen());

  ASSERT_TRUE(RunHelper({"--probe", file.Value()}).started);

  const HelperRecord record = Recorded();
  EXPECT_EQ(record.probes.at(file.Value()), std::nullopt);
  // Where the program can list its descriptors, only the three standard
  // ones are there.
  for (int fd : record.descriptors) EXPECT_LT(fd, 3) << "descriptor " << fd;
}

}  // namespace
}  // namespace quendrix::testing
