// Extraction through the exports of the real plug-in, with the test helper
// standing in for a converter: the files that appear, the log's bytes and
// what the started program was given.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "format/shell_words.h"
#include "support/helper_record.h"
#include "support/loaded_plugin.h"
#include "support/windows_build.h"

namespace quendrix::testing {
namespace {

namespace fs = std::filesystem;

// A rules section whose members copy the archive, each to its destination,
// through the helper; member n records what it was given in rec<n>.
std::string CopyingRules(const TempDir& records, int members,
                         std::string_view settings = "") {
  std::string rules = "[src]\n" + std::string(settings);
  for (int n = 1; n <= members; ++n) {
    const std::string number = std::to_string(n);
    rules += "command" + number + "=" + HelperPath() + " --record " +
             records.file("rec" + number) + " --copy filein fileout\n";
    rules += "fileout" + number + "=[N]." + number + ".out\n";
  }
  return rules;
}

class ExtractionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    archive_ = data_.file("input.src");
    WriteFile(archive_, "archive content\n");
  }

  // Drives the plug-in as a file manager does: open for extraction, read
  // headers until the list ends, extract the selected members into `out` and
  // skip the rest. Returns the names read; stops after `limit` headers.
  std::vector<std::string> HostLoop(const LoadedPlugin& plugin,
                                    const std::vector<bool>& selected,
                                    const TempDir& out, int limit = 100) {
    std::vector<std::string> read;
    EXPECT_NE(plugin.Open(archive_, PK_OM_EXTRACT).handle, nullptr);
    Header header;
    while (static_cast<int>(read.size()) < limit && plugin.Read(header) == 0) {
      const std::size_t index = read.size();
      read.push_back(header.name);
      const bool extract = index < selected.size() && selected[index];
      const std::string dest = out.file(header.name);
      EXPECT_EQ(plugin.Process(extract ? PK_EXTRACT : PK_SKIP, dest.c_str()), 0);
    }
    plugin.Close();
    return read;
  }

  TempDir data_;
  TempDir records_;
  std::string archive_;
};

TEST_F(ExtractionTest, HostLoopMakesExactlyTheSelectedMembersForEveryChoice) {
  const LoadedPlugin plugin(CopyingRules(records_, 3));
  for (unsigned mask = 0; mask < 8; ++mask) {
    TempDir out;
    const std::vector<bool> selected = {(mask & 1) != 0, (mask & 2) != 0, (mask & 4) != 0};
    const std::vector<std::string> read = HostLoop(plugin, selected, out);
    ASSERT_EQ(read, (std::vector<std::string>{"input.1.out", "input.2.out", "input.3.out"}))
        << "mask " << mask;
    for (int n = 0; n < 3; ++n) {
      const fs::path made = out.path() / read[n];
      EXPECT_EQ(fs::exists(made), selected[n]) << "mask " << mask << " member " << n + 1;
      if (selected[n]) {
        EXPECT_EQ(ReadFile(made), "archive content\n");
      }
    }
  }
}

TEST_F(ExtractionTest, SkipAndTestRunNothingAndLogNothing) {
  const LoadedPlugin plugin(CopyingRules(records_, 2, "log=1\n"));
  TempDir out;
  ASSERT_NE(plugin.Open(archive_, PK_OM_EXTRACT).handle, nullptr);
  Header header;
  ASSERT_EQ(plugin.Read(header), 0);
  EXPECT_EQ(plugin.Process(PK_SKIP, out.file("a").c_str()), 0);
  ASSERT_EQ(plugin.Read(header), 0);
  EXPECT_EQ(plugin.Process(PK_TEST, out.file("b").c_str()), 0);
  EXPECT_EQ(plugin.Process(77, out.file("c").c_str()), 0);
  EXPECT_EQ(plugin.Read(header), 10);
  EXPECT_FALSE(fs::exists(records_.file("rec1")));
  EXPECT_FALSE(fs::exists(records_.file("rec2")));
  EXPECT_FALSE(fs::exists(plugin.file("quendrix.log")));
  EXPECT_TRUE(fs::is_empty(out.path()));
}

TEST_F(ExtractionTest, SameMemberTwiceMakesBothDestinations) {
  const LoadedPlugin plugin(CopyingRules(records_, 1));
  TempDir out;
  ASSERT_NE(plugin.Open(archive_, PK_OM_EXTRACT).handle, nullptr);
  Header header;
  ASSERT_EQ(plugin.Read(header), 0);
  EXPECT_EQ(plugin.Process(PK_EXTRACT, out.file("first").c_str()), 0);
  EXPECT_EQ(plugin.Process(PK_EXTRACT, out.file("second").c_str()), 0);
  EXPECT_EQ(ReadFile(out.path() / "first"), "archive content\n");
  EXPECT_EQ(ReadFile(out.path() / "second"), "archive content\n");
  EXPECT_EQ(plugin.Read(header), 10) << "the list goes on after an extraction";
}

TEST_F(ExtractionTest, LogHoldsTheFinalCommandLinesBeforeTheyRun) {
  const LoadedPlugin plugin(
      "[src]\nlog=1\n"
      "command1=" + HelperPath() + " --record " + records_.file("rec1") + " fileout fileout\n"
      "fileout1=one\n"
      "command2=" + HelperPath() + " --exit 3 fileoutX\n"
      "fileout2=two\n");
  WriteFile(plugin.file("quendrix.log"), "earlier line without end");
  TempDir out;
  ASSERT_NE(plugin.Open(archive_, PK_OM_EXTRACT).handle, nullptr);
  // Before any header the request works on the blank entry 0: logged, and
  // nothing is started.
  EXPECT_EQ(plugin.Process(PK_EXTRACT, out.file("zero").c_str()), 0);
  Header header;
  ASSERT_EQ(plugin.Read(header), 0);
  const std::string dest1 = out.file("one out");
  EXPECT_EQ(plugin.Process(PK_EXTRACT, dest1.c_str()), E_ECREATE) << "it writes no file";
  ASSERT_EQ(plugin.Read(header), 0);
  const std::string dest2 = out.file("two");
  EXPECT_EQ(plugin.Process(PK_EXTRACT, dest2.c_str()), E_EWRITE)
      << "a failing program is logged all the same";

  // Windows programs parse their own command line, so the destination goes
  // in as it is; on Linux it is quoted for its place.
  const std::string inserted1 = kWindows ? dest1 : QuoteFor(QuoteState::kUnquoted, dest1);
  const std::string expected =
      "earlier line without end"
      "command0 = \r\n"
      "command1 = " + HelperPath() + " --record " + records_.file("rec1") + " " +
      inserted1 + " " + inserted1 + "\r\n"
      "command2 = " + HelperPath() + " --exit 3 " + dest2 + "X\r\n";
  EXPECT_EQ(ReadFile(plugin.file("quendrix.log")), expected);

  const std::optional<HelperRecord> record = ReadHelperRecord(records_.file("rec1"));
  ASSERT_TRUE(record);
  if (kWindows) {
    // The Windows program parses its own line; a destination with a blank
    // arrives as the rules file wrote it: unquoted.
    EXPECT_EQ(record->args, (std::vector<std::string>{out.file("one"), "out", out.file("one"), "out"}));
  } else {
    EXPECT_EQ(record->args, (std::vector<std::string>{dest1, dest1}));
  }
}

TEST_F(ExtractionTest, ProgramThatCannotStartIsReportedAsNotCreated) {
  const LoadedPlugin plugin(
      "[src]\n"
      "command1=" + data_.file("no such program") + " fileout\nfileout1=a\n"
      "command2=" + HelperPath() + " --exit 9 fileout\nfileout2=b\n");
  TempDir out;
  ASSERT_NE(plugin.Open(archive_, PK_OM_EXTRACT).handle, nullptr);
  Header header;
  ASSERT_EQ(plugin.Read(header), 0);
  EXPECT_EQ(plugin.Process(PK_EXTRACT, out.file("a").c_str()), E_ECREATE);
  ASSERT_EQ(plugin.Read(header), 0);
  EXPECT_EQ(plugin.Process(PK_EXTRACT, out.file("b").c_str()), E_EWRITE)
      << "a program that starts and fails is another failure";
  // Past the end of the list there is nothing to make.
  EXPECT_EQ(plugin.Read(header), 10);
  EXPECT_EQ(plugin.Process(PK_EXTRACT, out.file("c").c_str()), 0);
}

TEST_F(ExtractionTest, LongFinalCommandLineIsCutAlikeInTheLogAndTheRun) {
  const std::string padding(1000, 'p');
  const LoadedPlugin plugin(
      "[src]\nlog=1\ncommand1=" + HelperPath() + " --record " + records_.file("rec1") +
      " fileout fileout fileout fileout " + padding + "\nfileout1=a\n");
  TempDir out;
  const std::string dest = out.str() + std::string(900, 'd');
  ASSERT_NE(plugin.Open(archive_, PK_OM_EXTRACT).handle, nullptr);
  Header header;
  ASSERT_EQ(plugin.Read(header), 0);
  // The helper only records what it was given, and writes no member.
  EXPECT_EQ(plugin.Process(PK_EXTRACT, dest.c_str()), E_ECREATE);
  const std::string log = ReadFile(plugin.file("quendrix.log"));
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log.size(), std::string("command1 = ").size() + 4095 + 2);
  const std::optional<HelperRecord> record = ReadHelperRecord(records_.file("rec1"));
  ASSERT_TRUE(record);
  ASSERT_EQ(record->args.size(), 5u);
  EXPECT_EQ(record->args[0], dest);
  EXPECT_EQ(record->args[3], dest);
  EXPECT_LT(record->args[4].size(), padding.size()) << "the tail was cut";
}

// A rule read whole that only the file's path pushes past the limit of a
// command is not run cut: it would run on a path that lost its end.
TEST_F(ExtractionTest, CommandThatTheFilesPathPushesPastTheLimitIsNotRun) {
  const std::string record = records_.file("cut");
  // The template is read whole, one character short of the limit; the
  // archive's path, twice, is longer than the two placeholders.
  const std::string head = HelperPath() + " --record " + record + " ";
  const std::string tail = " filein filein fileout";
  const std::string padding(kTemplateLimit - 1 - head.size() - tail.size(), 'p');
  const LoadedPlugin plugin("[src]\ncommand1=" + head + padding + tail + "\nfileout1=a\n");
  ASSERT_NE(plugin.Open(archive_, PK_OM_EXTRACT).handle, nullptr);
  Header header;
  ASSERT_EQ(plugin.Read(header), 0);
  TempDir out;
  EXPECT_EQ(plugin.Process(PK_EXTRACT, out.file("a").c_str()), E_ECREATE);
  EXPECT_FALSE(ReadHelperRecord(record)) << "nothing ran";
  EXPECT_NE(plugin.FailureReason().find("characters and was cut"), std::string::npos)
      << plugin.FailureReason();
}

TEST_F(ExtractionTest, DestinationWithoutSeparatorIsPassedAsItIs) {
  const LoadedPlugin plugin(
      "[src]\nShortFileName=1\ncommand1=" + HelperPath() + " --record " +
      records_.file("rec1") + " fileout\nfileout1=a\n");
  ASSERT_NE(plugin.Open(archive_, PK_OM_EXTRACT).handle, nullptr);
  Header header;
  ASSERT_EQ(plugin.Read(header), 0);
  // The helper only records what it was given, and writes no member.
  EXPECT_EQ(plugin.Process(PK_EXTRACT, "bare.txt"), E_ECREATE);
  const std::optional<HelperRecord> record = ReadHelperRecord(records_.file("rec1"));
  ASSERT_TRUE(record);
  EXPECT_EQ(record->args, std::vector<std::string>{"bare.txt"});
}

// With ShortFileName=1 the directory of the destination reaches the program
// in its short form (Windows), or as it is (Linux, which has no short names).
TEST_F(ExtractionTest, ShortFileNameShortensTheDestinationDirectory) {
  const LoadedPlugin plugin(
      "[src]\nShortFileName=1\ncommand1=" + HelperPath() + " --record " +
      records_.file("rec1") + " --copy filein \"fileout\" \"fileout\"\nfileout1=a\n");
  TempDir out;
  const fs::path longDir = out.path() / "Long Directory Name";
  fs::create_directory(longDir);
  const std::string dir = out.file("Long Directory Name") + platform::kPathSeparator;
  const std::string dest = dir + "member file.txt";
  ASSERT_NE(plugin.Open(archive_, PK_OM_EXTRACT).handle, nullptr);
  Header header;
  ASSERT_EQ(plugin.Read(header), 0);
  EXPECT_EQ(plugin.Process(PK_EXTRACT, dest.c_str()), 0);
  const std::optional<HelperRecord> record = ReadHelperRecord(records_.file("rec1"));
  ASSERT_TRUE(record);
  EXPECT_EQ(ReadFile(longDir / "member file.txt"), "archive content\n");
  if (kWindows) {
    const std::string shortDir = platform::ShortPathOf(dir);
    ASSERT_FALSE(shortDir.empty());
    ASSERT_NE(shortDir, dir) << "the test volume gives short names";
    EXPECT_EQ(record->args, std::vector<std::string>{shortDir + "member file.txt"});
  } else {
    EXPECT_EQ(record->args, std::vector<std::string>{dest});
  }
}

}  // namespace
}  // namespace quendrix::testing

namespace quendrix::testing {
namespace {

// On Linux a file name may hold any byte but "/" and NUL. Whatever the names
// of the archive and the destination directory, the program receives each
// path whole, as one argument, in unquoted, double-quoted and single-quoted
// templates alike, and a < or > reads or writes exactly that file: a name
// that holds < > or | never becomes an operator; and only the program the
// rule names is started.
TEST(HostileNamesExtractionTest, LinuxProgramsReceiveTheExactPaths) {
  if (platform::kPathStyle == platform::PathStyle::kWindows) {
    GTEST_SKIP() << "Windows file names cannot hold these characters";
  }
  const std::string hostile = " a b \"q\" 'q' $HOME `id` \\ x\n-y > | < 2>x >>|";
  struct Rule {
    const char* label;
    const char* command;
  };
  const Rule rules[] = {
      {"unquoted", "/usr/bin/sort -o fileout filein"},
      {"double-quoted", "/usr/bin/sort -o \"fileout\" \"filein\""},
      {"single-quoted", "/usr/bin/sort -o 'fileout' 'filein'"},
      {"shell script", "/bin/sh -c 'cat \"$1\" > \"$2\"' sh filein fileout"},
      {"redirections", "/usr/bin/sort < filein > fileout"},
      {"quoted redirections", "/usr/bin/sort < \"filein\" > 'fileout'"},
      {"pipeline", "/bin/cat filein | /usr/bin/sort > fileout"},
  };
  for (const Rule& rule : rules) {
    TempDir data;
    const std::filesystem::path inDir = data.path() / ("in" + hostile);
    const std::filesystem::path outDir = data.path() / ("out" + hostile);
    std::filesystem::create_directory(inDir);
    std::filesystem::create_directory(outDir);
    const std::string archive = (inDir / ("arc" + hostile + ".src")).string();
    WriteFile(archive, "b\na\n");
    const LoadedPlugin plugin("[src]\nlog=1\ncommand1=" + std::string(rule.command) +
                              "\nfileout1=member\n");
    ASSERT_NE(plugin.Open(archive, PK_OM_EXTRACT).handle, nullptr) << rule.label;
    Header header;
    ASSERT_EQ(plugin.Read(header), 0);
    const std::string dest = (outDir / ("made" + hostile)).string();
    EXPECT_EQ(plugin.Process(PK_EXTRACT, dest.c_str()), 0) << rule.label;
    const std::string expected =
        std::string_view(rule.command).substr(0, 7) == "/bin/sh" ? "b\na\n" : "a\nb\n";
    EXPECT_EQ(ReadFile(dest), expected) << rule.label;
    // Nothing else appeared: no stray file from a split or injected word.
    std::size_t files = 0;
    for (const auto& item : std::filesystem::directory_iterator(outDir)) {
      (void)item;
      ++files;
    }
    EXPECT_EQ(files, 1u) << rule.label;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(data.path()),
                            std::filesystem::directory_iterator()),
              2)
        << rule.label;
  }
}

}  // namespace
}  // namespace quendrix::testing
