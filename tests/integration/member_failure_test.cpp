// Members whose program fails, through the exports of the real plug-in: the
// host is told, what the program wrote at the destination goes, the log
// still shows the line, and the list goes on to the next member.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "interface/wcx.h"
#include "platform/platform.h"
#include "support/helper_record.h"
#include "support/loaded_plugin.h"

namespace quendrix::testing {
namespace {

namespace fs = std::filesystem;

constexpr bool kPosix = platform::kPathStyle == platform::PathStyle::kPosix;
constexpr char kArchiveContent[] = "archive content\n";
constexpr char kEarlierContent[] = "a file the user had there\n";

int QUENDRIX_WCX_CALL KeepGoing(char* /*name*/, int /*size*/) { return 1; }

// What is at the destination after the extraction.
enum class Left { kNothing, kMember, kEarlierFile };

struct FailureCase {
  const char* name;
  const char* options;       // the helper's options; "fileout" is the member
  const char* settings;      // extra keys of the section
  bool earlierFile;          // a file is at the destination before the start
  int result;                // what ProcessFile answers
  Left left;
  std::int32_t exitStatus;   // what the failure export tells
  std::int32_t signal;
  bool posixOnly;
};

const FailureCase kFailureCases[] = {
    {"ExitAfterPartialWrite", "--write-steps fileout 1 100 0 --exit 3", "", false,
     E_EWRITE, Left::kNothing, 3, 0, false},
    {"ExitOneWritingNothing", "--exit 1", "", false, E_EWRITE, Left::kNothing, 1, 0, false},
    {"EndedBySignal", "--write-steps fileout 1 100 0 --signal 9", "", false, E_EWRITE,
     Left::kNothing, -1, 9, true},
    {"ExitZeroWritingNothing", "", "", false, E_ECREATE, Left::kNothing, 0, 0, false},
    {"Success", "--copy filein fileout", "", false, 0, Left::kMember, 0, 0, false},
    {"IgnoredExitWithMember", "--copy filein fileout --exit 1", "IgnoreExitCode=1\n", false,
     0, Left::kMember, 1, 0, false},
    {"IgnoredExitWritingNothing", "--exit 1", "IgnoreExitCode=1\n", false, E_ECREATE,
     Left::kNothing, 1, 0, false},
    {"IgnoredOnlyWhenOn", "--copy filein fileout --exit 1", "IgnoreExitCode=0\n", false,
     E_EWRITE, Left::kNothing, 1, 0, false},
    {"UntouchedEarlierFileStays", "--exit 3", "", true, E_EWRITE, Left::kEarlierFile, 3, 0,
     false},
    {"ChangedEarlierFileGoes", "--write-steps fileout 1 100 0 --exit 3", "", true, E_EWRITE,
     Left::kNothing, 3, 0, false},
    // A program that exits 0 and leaves the file the user had there made
    // nothing new, but a file is where the host expects the member.
    {"EarlierFileCountsAsAFile", "", "", true, 0, Left::kEarlierFile, 0, 0, false},
};

struct FailureParam {
  FailureCase failure;
  bool progress;  // with a progress callback, as file managers give one
};

std::string ParamName(const ::testing::TestParamInfo<FailureParam>& info) {
  return std::string(info.param.failure.name) +
         (info.param.progress ? "WithProgress" : "Waiting");
}

std::vector<FailureParam> AllParams() {
  std::vector<FailureParam> params;
  for (const FailureCase& failure : kFailureCases) {
    for (const bool progress : {false, true}) params.push_back({failure, progress});
  }
  return params;
}

class MemberFailureTest : public ::testing::TestWithParam<FailureParam> {
 protected:
  void SetUp() override {
    archive_ = data_.file("input.src");
    WriteFile(archive_, kArchiveContent);
  }

  TempDir data_;
  std::string archive_;
};

TEST_P(MemberFailureTest, IsReportedCleanedUpAndTheListGoesOn) {
  const FailureCase& c = GetParam().failure;
  if (c.posixOnly && !kPosix) GTEST_SKIP() << "signals end programs on POSIX only";
  const LoadedPlugin plugin("[src]\nlog=1\n" + std::string(c.settings) +
                            "command1=" + HelperPath() + " " + c.options +
                            "\nfileout1=[N].1.out\n"
                            "command2=" + HelperPath() + " --copy filein fileout\n"
                            "fileout2=[N].2.out\n");
  TempDir out;
  const std::string first = out.file("first");
  const std::string second = out.file("second");
  if (c.earlierFile) WriteFile(first, kEarlierContent);

  const OpenOutcome open = plugin.Open(archive_, PK_OM_EXTRACT);
  ASSERT_NE(open.handle, nullptr);
  if (GetParam().progress) plugin.setProcessDataProc(open.handle, &KeepGoing);
  Header header;
  ASSERT_EQ(plugin.Read(header), 0);
  EXPECT_EQ(plugin.Process(PK_EXTRACT, first.c_str()), c.result);
  switch (c.left) {
    case Left::kNothing:
      EXPECT_FALSE(fs::exists(first)) << "a failed member leaves no file";
      break;
    case Left::kMember:
      EXPECT_EQ(ReadFile(first), kArchiveContent);
      break;
    case Left::kEarlierFile:
      EXPECT_EQ(ReadFile(first), kEarlierContent);
      break;
  }

  ASSERT_NE(plugin.memberFailure, nullptr);
  std::int32_t exitStatus = -2;
  std::int32_t signal = -2;
  EXPECT_EQ(plugin.memberFailure(open.handle, &exitStatus, &signal, nullptr, 0), c.result);
  EXPECT_EQ(exitStatus, c.exitStatus);
  EXPECT_EQ(signal, c.signal);

  // The failure stays with its member: the next one is made as ever.
  ASSERT_EQ(plugin.Read(header), 0);
  EXPECT_EQ(header.name, "input.2.out");
  EXPECT_EQ(plugin.Process(PK_EXTRACT, second.c_str()), 0);
  EXPECT_EQ(ReadFile(second), kArchiveContent);
  EXPECT_EQ(plugin.memberFailure(open.handle, nullptr, nullptr, nullptr, 0), 0);
  EXPECT_EQ(plugin.Read(header), E_END_ARCHIVE);
  EXPECT_EQ(plugin.Close(), 0);

  // Both lines were logged before their programs started, whatever came of
  // them.
  const std::string log = ReadFile(plugin.file("quendrix.log"));
  EXPECT_EQ(log.rfind("command1 = ", 0), 0u) << log;
  EXPECT_NE(log.find("\r\ncommand2 = "), std::string::npos) << log;
}

INSTANTIATE_TEST_SUITE_P(Cases, MemberFailureTest, ::testing::ValuesIn(AllParams()),
                         ParamName);

// The export of quendrix's own, on handles it does not know and with
// buffers of every size.
class FailureExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    archive_ = data_.file("input.src");
    WriteFile(archive_, kArchiveContent);
  }

  // Extracts the first member of [src], whose command is the helper with
  // `options`, and returns the handle, still open.
  ArchiveHandle ExtractFirst(const LoadedPlugin& plugin, const TempDir& out, int expected) {
    const OpenOutcome open = plugin.Open(archive_, PK_OM_EXTRACT);
    EXPECT_NE(open.handle, nullptr);
    Header header;
    EXPECT_EQ(plugin.Read(header), 0);
    EXPECT_EQ(plugin.Process(PK_EXTRACT, out.file("member").c_str()), expected);
    return open.handle;
  }

  static std::string RulesRunning(const std::string& options) {
    return "[src]\ncommand1=" + HelperPath() + " " + options + "\nfileout1=m\n";
  }

  TempDir data_;
  std::string archive_;
};

TEST_F(FailureExportTest, GivesTheProgramsLastWordsWhereItsOutputIsHidden) {
  const LoadedPlugin plugin(RulesRunning("--print \"input is damaged\" --exit 3"));
  TempDir out;
  const ArchiveHandle handle = ExtractFirst(plugin, out, E_EWRITE);
  char message[64];
  std::int32_t exitStatus = 0;
  EXPECT_EQ(plugin.memberFailure(handle, &exitStatus, nullptr, message, sizeof message),
            E_EWRITE);
  EXPECT_EQ(exitStatus, 3);
  // Only the Linux plug-in keeps what a hidden program writes; Windows gives
  // it a console of its own, hidden with it.
  EXPECT_EQ(std::string(message), kPosix ? "input is damaged\n" : "");

  // A small buffer gets the end of the text, zero-terminated.
  char small[8];
  std::memset(small, 'x', sizeof small);
  plugin.memberFailure(handle, nullptr, nullptr, small, sizeof small);
  EXPECT_EQ(std::string(small), kPosix ? "amaged\n" : "");
  char one = 'x';
  plugin.memberFailure(handle, nullptr, nullptr, &one, 1);
  EXPECT_EQ(one, '\0');
  plugin.Close(handle);
}

TEST_F(FailureExportTest, ShownOutputIsLeftToTheConsole) {
  if (!kPosix) GTEST_SKIP() << "a Windows console cannot be checked from here";
  const LoadedPlugin plugin("[src]\nShowConsole=1\ncommand1=" + HelperPath() +
                            " --print shown --exit 3\nfileout1=m\n");
  TempDir out;
  const ArchiveHandle handle = ExtractFirst(plugin, out, E_EWRITE);
  char message[64] = "unchanged";
  EXPECT_EQ(plugin.memberFailure(handle, nullptr, nullptr, message, sizeof message), E_EWRITE);
  EXPECT_EQ(std::string(message), "");
  plugin.Close(handle);
}

TEST_F(FailureExportTest, AChattyProgramNeitherBlocksNorGrowsWhatIsKept) {
  // 32 MiB is far more than any pipe holds: a plug-in that read the pipe
  // only after the program's end would wait for ever.
  const LoadedPlugin plugin(RulesRunning("--stderr-bytes 33554432 --exit 2"));
  TempDir out;
  const ArchiveHandle handle = ExtractFirst(plugin, out, E_EWRITE);
  std::string message(platform::kErrorOutputLimit * 2, '\0');
  std::int32_t exitStatus = 0;
  EXPECT_EQ(plugin.memberFailure(handle, &exitStatus, nullptr, message.data(),
                                 static_cast<int>(message.size())),
            E_EWRITE);
  EXPECT_EQ(exitStatus, 2);
  message.resize(message.find('\0'));
  if (kPosix) {
    EXPECT_EQ(message.size(), platform::kErrorOutputLimit);
    // The end of the stream, not its start: its last line is complete.
    ASSERT_FALSE(message.empty());
    EXPECT_EQ(message.back(), '\n');
    const std::size_t lastLine = message.rfind('\n', message.size() - 2);
    ASSERT_NE(lastLine, std::string::npos);
    EXPECT_EQ(message.substr(lastLine + 1, 27), "abcdefghijklmnopqrstuvwxyz ");
  }
  plugin.Close(handle);
}

TEST_F(FailureExportTest, UnknownHandlesAndFreshSessionsTellNothing) {
  const LoadedPlugin plugin(RulesRunning("--copy filein fileout"));
  ASSERT_NE(plugin.memberFailure, nullptr);
  std::int32_t exitStatus = 7;
  for (const ArchiveHandle forged :
       {ArchiveHandle{nullptr}, reinterpret_cast<ArchiveHandle>(-1),
        reinterpret_cast<ArchiveHandle>(12345)}) {
    EXPECT_EQ(plugin.memberFailure(forged, &exitStatus, nullptr, nullptr, 0), E_BAD_ARCHIVE);
  }
  EXPECT_EQ(exitStatus, 7) << "nothing is written for an unknown handle";
  const OpenOutcome open = plugin.Open(archive_, PK_OM_EXTRACT);
  ASSERT_NE(open.handle, nullptr);
  char message[16] = "unchanged";
  EXPECT_EQ(plugin.memberFailure(open.handle, &exitStatus, nullptr, message, sizeof message), 0);
  EXPECT_EQ(exitStatus, -1);
  EXPECT_EQ(std::string(message), "");
  plugin.Close(open.handle);
  EXPECT_EQ(plugin.memberFailure(open.handle, nullptr, nullptr, nullptr, 0), E_BAD_ARCHIVE);
}

}  // namespace
}  // namespace quendrix::testing
