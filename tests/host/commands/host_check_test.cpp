// quendrix check, driven as a user drives it: a whole rules file in, one
// line per problem and a line of counts out, and the exit code.
#include <gtest/gtest.h>

#include <filesystem>

#include "host/host_fixture.h"
#include "support/scoped_environment.h"

namespace quendrix::testing {
namespace {

namespace fs = std::filesystem;

TEST_F(HostTest, CheckListsEveryProblemWithItsFileLineAndSection) {
  InstallProgram("prog");
  const std::string rules = work_.file("my rules.ini");
  WriteFile(rules,
            "; a comment\n"
            "[txt]\n"
            "command1=prog filein fileOut\n"
            "fileout1=[N].one\n"
            "command3=prog filein fileout\n"
            "fileout3=[N].three\n"
            "[doc]\n"
            "synonym=pdf\n"
            "[TXT]\n");
  const HostRun run = Run({"check", rules});
  EXPECT_EQ(run.code, 1) << run.out << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out,
            rules + ":3: [txt] command1: fileOut is not the placeholder fileout: placeholders "
                    "are matched with their case, so it stays as it is written\n" +
            rules + ":3: [txt] command1: the command never names fileout, so its program is "
                    "not told where to write the member: put fileout where the program takes "
                    "its output file" +
                (platform::kPathStyle == platform::PathStyle::kPosix
                     ? ", or end the command with > fileout\n"
                     : "\n") +
            rules + ":5: [txt] command3 never lists: the numbering stops at 2 (there is no "
                    "command2 or fileout2)\n" +
            rules + ":6: [txt] fileout3 never lists: the numbering stops at 2 (there is no "
                    "command2 or fileout2)\n" +
            rules + ":8: [doc] synonym names [pdf], but there is no section [pdf], so files "
                    "of this kind are refused\n" +
            rules + ":9: [TXT] [TXT] is written a second time, and every key under this "
                    "header is ignored: only the first section of a name is read, the one at "
                    "line 2\n" +
            rules + ": 2 sections, 1 member, 6 problems\n");
}

TEST_F(HostTest, CheckOfSoundRulesPrintsOneLineOfCounts) {
  InstallProgram("prog");
  const std::string rules = work_.file("rules.ini");
  // A program of the system's, by its bare name, found on the search path.
  const std::string onPath = platform::kPathStyle == platform::PathStyle::kPosix
                                 ? "sh -c 'cat \"$1\"' sh filein > fileout"
                                 : "cmd /c type \"filein\" > \"fileout\"";
  WriteFile(rules,
            "[txt]\ncommand1=prog filein fileout\nfileout1=[N].one\n"
            "command2=prog -o fileout filein\nfileout2=[N].two\n"
            "command3=" + onPath + "\nfileout3=[N].three\n"
            "[text]\nsynonym=txt\n");
  const HostRun run = Run({"check", rules});
  EXPECT_EQ(run.code, 0) << run.out << run.err;
  EXPECT_EQ(run.out, rules + ": 2 sections, 3 members, no problems\n");
  EXPECT_EQ(run.err, "");
}

// Without a file named, check takes the rules file the plug-in would take,
// and its programs are looked for where the plug-in looks.
TEST_F(HostTest, CheckTakesTheRulesFileOfThePlugin) {
  const bool windows = platform::kPathStyle == platform::PathStyle::kWindows;
  const TempDir config;
  const ScopedEnvironmentValue user(windows ? "APPDATA" : "XDG_CONFIG_HOME", config.str());
  WriteRules("[txt]\ncommand1=prog filein fileout\nfileout1=[N].one\n");

  const HostRun missingProgram = Run({"check"});
  EXPECT_EQ(missingProgram.code, 1) << missingProgram.out << missingProgram.err;
  EXPECT_TRUE(Contains(missingProgram.out,
                       pluginDir_.str() + "quendrix.ini:2: [txt] command1: there is no "
                                          "program prog, neither in the plug-in's folder (" +
                           pluginDir_.str() + ") nor in its "))
      << missingProgram.out;

  InstallProgram("prog");
  const HostRun found = Run({"check"});
  EXPECT_EQ(found.code, 0) << found.out << found.err;
  EXPECT_EQ(found.out, pluginDir_.str() + "quendrix.ini: 1 section, 1 member, no problems\n");

  fs::remove(pluginDir_.path() / "quendrix.ini");
  const HostRun none = Run({"check"});
  EXPECT_EQ(none.code, 2);
  EXPECT_EQ(none.out, "");
  EXPECT_TRUE(Contains(none.err, "there is no rules file in any of these places:\n  " +
                                     pluginDir_.str() + "quendrix.ini (the plug-in's folder)\n"))
      << none.err;
}

TEST_F(HostTest, CheckOfAFileThatCannotBeReadIsAUsageError) {
  struct Case {
    std::string path;
    std::string reason;
  };
  const Case cases[] = {
      {work_.file("missing.ini"), "there is no such file"},
      {work_.str(), "it is a folder"},
  };
  for (const Case& c : cases) {
    const HostRun run = Run({"check", c.path});
    EXPECT_EQ(run.code, 2) << c.path;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "quendrix: cannot read the rules file " + c.path + ": " + c.reason + "\n");
  }
}

}  // namespace
}  // namespace quendrix::testing
