// Linux command lines with < > and |, through the real plug-in: the member's
// file is what the last program writes, a failing program anywhere fails the
// member and leaves no file, a line that cannot run runs nothing, and every
// reason names what went wrong.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "interface/wcx.h"
#include "support/case_name.h"
#include "support/helper_record.h"
#include "support/loaded_plugin.h"
#include "support/scoped_environment.h"

namespace quendrix::testing {
namespace {

namespace fs = std::filesystem;

constexpr char kInput[] = "in\n";

// Replaces every `from` in `text` by `to`.
std::string With(std::string text, std::string_view from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

struct PipelineMemberCase {
  const char* label;
  // The command; H stands for the test helper, REC for a record file.
  std::string command;
  int result;
  std::optional<std::string> content;  // the member's file; nothing: none
  std::string reason;                  // what the failure's line holds
};

// A pipeline of `count` programs, each the helper by a short bare name (a
// link in the plug-in's folder), so that the line stays far below the limit
// of a command wherever the build lies.
std::string Stages(int count) {
  std::string line = "h --cat 0 < filein";
  for (int i = 1; i < count; ++i) line += " | h --cat " + std::to_string(i);
  return line + " > fileout";
}

class PipelineMemberTest : public ::testing::TestWithParam<PipelineMemberCase> {};

TEST_P(PipelineMemberTest, IsMadeOrFailsWithItsReason) {
  const PipelineMemberCase& c = GetParam();
  TempDir data;
  const std::string archive = data.file("input.src");
  WriteFile(archive, kInput);
  const std::string notAProgram = data.file("garbage");
  WriteFile(notAProgram, "\x01\x02 not a program\n");
  chmod(notAProgram.c_str(), 0755);
  const std::string notExecutable = data.file("not-executable");
  WriteFile(notExecutable, "#!/bin/sh\n");
  chmod(notExecutable.c_str(), 0644);
  std::string command = With(c.command, "REC", data.file("record"));
  command = With(command, "GARBAGE", notAProgram);
  command = With(command, "NOTEXEC", notExecutable);
  command = With(command, "H ", CommandLineOf({HelperPath()}) + " ");
  const LoadedPlugin plugin("[src]\ncommand1=" + command + "\nfileout1=[N].out\n");
  fs::create_symlink(HelperPath(), plugin.file("h"));

  TempDir out;
  const std::string member = out.file("member");
  ASSERT_NE(plugin.Open(archive, PK_OM_EXTRACT).handle, nullptr);
  Header header;
  ASSERT_EQ(plugin.Read(header), 0);
  EXPECT_EQ(plugin.Process(PK_EXTRACT, member.c_str()), c.result) << command;
  if (c.content) {
    EXPECT_EQ(ReadFile(member), *c.content);
  } else {
    EXPECT_FALSE(fs::exists(member)) << "a failed member leaves no file";
  }
  const std::string reason = plugin.FailureReason();
  if (c.reason.empty()) {
    EXPECT_EQ(reason, "");
  } else {
    EXPECT_NE(reason.find(c.reason), std::string::npos) << reason;
  }
  // Nothing but the member appeared beside it, and nothing beside the input.
  EXPECT_EQ(std::distance(fs::directory_iterator(out.path()), fs::directory_iterator()),
            c.content ? 1 : 0);
  EXPECT_FALSE(fs::exists(archive + ".copy"));
  plugin.Close();
}

INSTANTIATE_TEST_SUITE_P(
    Table, PipelineMemberTest,
    ::testing::Values(
        PipelineMemberCase{"Output", "H --print hello > fileout", 0, "hello\n", ""},
        PipelineMemberCase{"InputAndOutput", "H --cat A < filein > fileout", 0, "in\nA\n", ""},
        PipelineMemberCase{"InputFirst", "< filein H --cat A > fileout", 0, "in\nA\n", ""},
        PipelineMemberCase{"TwoStages", "H --cat A < filein | H --cat B > fileout", 0,
                           "in\nA\nB\n", ""},
        PipelineMemberCase{"ThreeStages", Stages(3), 0, "in\n0\n1\n2\n", ""},
        PipelineMemberCase{"SixteenStages", Stages(16), 0,
                           "in\n0\n1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12\n13\n14\n15\n", ""},
        PipelineMemberCase{"QuotedOperatorsAreWords", "H --record REC '>' \"|\" \\< > fileout",
                           0, "", ""},
        PipelineMemberCase{"FirstOfThreeFails",
                           "H --cat A --exit 3 < filein | H --cat B | H --cat C > fileout",
                           E_EWRITE, std::nullopt, "program 1 of 3 of its pipeline, "},
        PipelineMemberCase{"MiddleOfThreeFails",
                           "H --cat A < filein | H --exit 4 --cat B | H --cat C > fileout",
                           E_EWRITE, std::nullopt, "program 2 of 3 of its pipeline, "},
        PipelineMemberCase{"LastOfThreeFails",
                           "H --cat A < filein | H --cat B | H --cat C --exit 5 > fileout",
                           E_EWRITE, std::nullopt, "program 3 of 3 of its pipeline, "},
        // A program that fails early leaves those after it little to read, so
        // they may fail too: each failing program is named, the first first,
        // since the words on standard error are most often its.
        PipelineMemberCase{"FirstAndLastOfThreeFail",
                           "H --cat A --exit 3 < filein | H --cat B | H --cat C --exit 5 > fileout",
                           E_EWRITE, std::nullopt,
                           "ended with exit status 3; and program 3, "},
        PipelineMemberCase{"OutputIntoAnotherFile", "H --print x > filein.copy", E_ECREATE,
                           std::nullopt, "the command cannot run: its > writes into "},
        PipelineMemberCase{"OutputWithoutAFile", "H --print x >", E_ECREATE, std::nullopt,
                           "the command cannot run: > has no file after it"},
        PipelineMemberCase{"EmptyStage", "H | | H > fileout", E_ECREATE, std::nullopt,
                           "the command cannot run: | has no program before it"},
        PipelineMemberCase{"SixtyFourStages", Stages(64), E_ECREATE, std::nullopt,
                           "the command cannot run: a pipeline may join at most 16 programs"},
        // A quote that nothing closes takes the rest of the line, > fileout
        // included, into one word: such a line is not run.
        PipelineMemberCase{"UnclosedQuote", "H --print 'x > fileout", E_ECREATE, std::nullopt,
                           "the command cannot run: a ' (single quote) is never closed"},
        PipelineMemberCase{"ErrorRedirection", "H 2>/dev/null > fileout", E_ECREATE,
                           std::nullopt, "the command cannot run: 2> is not supported"},
        PipelineMemberCase{"UnreadableInput", "H --cat A < /nonexistent/x > fileout", E_ECREATE,
                           std::nullopt, "cannot read /nonexistent/x: No such file or directory"},
        PipelineMemberCase{"AbsentProgram", "/usr/bin/quendrix-no-such-tool filein > fileout",
                           E_ECREATE, std::nullopt,
                           "/usr/bin/quendrix-no-such-tool could not be started: No such file or "
                           "directory"},
        PipelineMemberCase{"NotExecutable", "NOTEXEC filein > fileout", E_ECREATE,
                           std::nullopt, "not-executable could not be started: Permission denied"},
        PipelineMemberCase{"NotAProgram", "H --cat A < filein | GARBAGE > fileout", E_ECREATE,
                           std::nullopt, "garbage, could not be started: Exec format error"}),
    CaseName());

TEST(PipelineMemberRecordTest, QuotedOperatorsReachTheProgramAsWords) {
  TempDir data;
  const std::string archive = data.file("input.src");
  WriteFile(archive, kInput);
  const std::string record = data.file("record");
  const LoadedPlugin plugin("[src]\ncommand1=" + HelperCommandLine({"--record", record}) +
                            " '>' \"|\" \\< 'a | b' > fileout\nfileout1=[N].out\n");
  TempDir out;
  ASSERT_NE(plugin.Open(archive, PK_OM_EXTRACT).handle, nullptr);
  Header header;
  ASSERT_EQ(plugin.Read(header), 0);
  ASSERT_EQ(plugin.Process(PK_EXTRACT, out.file("member").c_str()), 0);
  const std::optional<HelperRecord> recorded = ReadHelperRecord(record);
  ASSERT_TRUE(recorded);
  EXPECT_EQ(recorded->args, (std::vector<std::string>{">", "|", "<", "a | b"}));
}

TEST(PipelineMemberTest, DestinationThatIsAFolderIsLeftAlone) {
  TempDir data;
  const std::string archive = data.file("input.src");
  WriteFile(archive, kInput);
  const LoadedPlugin plugin("[src]\ncommand1=" + HelperCommandLine({"--print", "x"}) +
                            " > fileout\nfileout1=[N].out\n");
  TempDir out;
  const std::string folder = out.file("member");
  fs::create_directory(folder);
  WriteFile(folder + "/kept", "kept");
  ASSERT_NE(plugin.Open(archive, PK_OM_EXTRACT).handle, nullptr);
  Header header;
  ASSERT_EQ(plugin.Read(header), 0);
  EXPECT_EQ(plugin.Process(PK_EXTRACT, folder.c_str()), E_ECREATE);
  EXPECT_EQ(plugin.FailureReason(), "cannot write " + folder + ": Is a directory");
  EXPECT_EQ(ReadFile(folder + "/kept"), "kept");
}

// A program named without a folder runs from the plug-in's folder when it
// is there, else from PATH; the reason of one that is nowhere says where it
// was looked for.
TEST(BareProgramTest, PluginFolderFirstThenPath) {
  TempDir data;
  const std::string archive = data.file("input.src");
  WriteFile(archive, kInput);
  TempDir bin;
  for (const char* name : {"qhelper", "qhelper2"}) {
    WriteFile(bin.file(name), "#!/bin/sh\necho from-path\n");
    chmod(bin.file(name).c_str(), 0755);
  }
  const ScopedEnvironmentValue path("PATH", bin.str() + ":/usr/bin:/bin");
  const LoadedPlugin plugin(
      "[src]\n"
      "command1=qhelper --cat A < filein > fileout\nfileout1=1\n"
      "command2=qhelper2 --cat A < filein > fileout\nfileout2=2\n"
      "command3=qhelper3 --cat A < filein > fileout\nfileout3=3\n"
      "command4=/bin/cat filein | qhelper2 > fileout\nfileout4=4\n"
      "Package=qhelpers\n");
  fs::copy_file(HelperPath(), plugin.file("qhelper"));

  struct Case {
    int result;
    std::optional<std::string> content;
    std::string reason;
  };
  const Case cases[] = {
      {0, "in\nA\n", ""},           // the plug-in's own copy, not PATH's
      {0, "from-path\n", ""},       // PATH's, as the plug-in's folder has none
      {E_ECREATE, std::nullopt,
       "qhelper3 could not be started: there is no such program in the plug-in's folder (" +
           plugin.dir() + "), in its recipes/ or on PATH (it comes with the package qhelpers)"},
      {0, "from-path\n", ""},       // a later program of a pipeline too
  };
  TempDir out;
  ASSERT_NE(plugin.Open(archive, PK_OM_EXTRACT).handle, nullptr);
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    Header header;
    ASSERT_EQ(plugin.Read(header), 0);
    const std::string member = out.file(header.name);
    EXPECT_EQ(plugin.Process(PK_EXTRACT, member.c_str()), cases[i].result) << header.name;
    if (cases[i].content) {
      EXPECT_EQ(ReadFile(member), *cases[i].content) << header.name;
    } else {
      EXPECT_FALSE(fs::exists(member)) << header.name;
    }
    EXPECT_EQ(plugin.FailureReason(), cases[i].reason) << header.name;
  }
}

// Cancel while a pipeline runs ends every program of it and leaves no file.
std::atomic<bool> g_pipelineStarted{false};
std::string g_firstPid;
std::string g_secondPid;

int QUENDRIX_WCX_CALL StopOnceBothRun(char* /*name*/, int /*size*/) {
  return fs::exists(g_firstPid) && fs::exists(g_secondPid) ? 0 : 1;
}

bool Alive(const std::string& pidFile) {
  const std::string text = ReadFile(pidFile);
  if (text.empty()) return false;
  const std::string status = ReadFile("/proc/" + text + "/status");
  return !status.empty() && status.find("State:\tZ") == std::string::npos;
}

TEST(PipelineCancelTest, EndsEveryProgramOfThePipeline) {
  TempDir data;
  const std::string archive = data.file("input.src");
  WriteFile(archive, kInput);
  g_firstPid = data.file("first.pid");
  g_secondPid = data.file("second.pid");
  const LoadedPlugin plugin(
      "[src]\ncommand1=" +
      HelperCommandLine({"--pid-file", g_firstPid, "--sleep", "60000", "--cat", "A"}) +
      " < filein | " + HelperCommandLine({"--pid-file", g_secondPid, "--cat", "B"}) +
      " | " + HelperCommandLine({"--cat", "C"}) + " > fileout\nfileout1=[N].out\n");
  TempDir out;
  const std::string member = out.file("member");
  const OpenOutcome open = plugin.Open(archive, PK_OM_EXTRACT);
  ASSERT_NE(open.handle, nullptr);
  plugin.setProcessDataProc(open.handle, &StopOnceBothRun);
  Header header;
  ASSERT_EQ(plugin.Read(header), 0);
  const auto began = std::chrono::steady_clock::now();
  EXPECT_EQ(plugin.Process(PK_EXTRACT, member.c_str()), E_EABORTED);
  EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(30));
  EXPECT_FALSE(fs::exists(member));
  EXPECT_FALSE(Alive(g_firstPid));
  EXPECT_FALSE(Alive(g_secondPid));
}

}  // namespace
}  // namespace quendrix::testing
