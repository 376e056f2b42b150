// quendrix setup mc against Debian's mc.ext.ini: the user's file made from
// mc's own or changed in place, a second run, --undo back to the same bytes
// (or to no file of the user's at all), --dry-run, and the command line.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "host/host_fixture.h"
#include "host/setup/setup_fixture.h"
#include "setup/mc_ext_ini.h"
#include "support/scoped_environment.h"

namespace quendrix::testing {
namespace {

namespace fs = std::filesystem;

class SetupMcTest : public SetupTest {
 protected:
  // mc's own file with the block for the test's rules where it belongs: after
  // the keys of [mc.ext.ini] and the blank line under them.
  static std::string WithBlock(const std::string& file, const std::string& madeFrom) {
    const std::size_t at = file.find("### GIT Repo ###");
    EXPECT_NE(at, std::string::npos);
    return file.substr(0, at) + host::McQuendrixBlock({"pdf", "txt", "text"}, madeFrom, "\n") +
           file.substr(at);
  }
};

// A read-only mc.ext.ini is left as it is, with no backup made, for a
// setup and an undo alike.
TEST_F(SetupMcTest, RefusesAReadOnlyFileBeforeChangingAnything) {
  WriteFile(places_.mcSystemFiles[0], SetupFixture("mc.ext.ini"));
  const std::string user = places_.mcUserFile;
  ASSERT_EQ(SetupFor("mc").code, 0);
  WriteRules("[odt]\ncommand1=a filein fileout\nfileout1=b\n");
  const std::string added = ReadFile(user);
  fs::permissions(user, fs::perms::owner_read);
  for (const char* option : {"", "--undo"}) {
    SCOPED_TRACE(option);
    const SetupRun refused = SetupFor("mc", {option});
    EXPECT_EQ(refused.code, 2);
    EXPECT_TRUE(Contains(refused.err, user + " is left as it is: it is read-only")) << refused.err;
    EXPECT_EQ(ReadFile(user), added);
    EXPECT_FALSE(fs::exists(fs::symlink_status(host::BackupPathOf(user))));
  }
}

TEST_F(SetupMcTest, MakesTheUsersFileFromMcsOwnAndUndoesToNoFile) {
  const std::string system = SetupFixture("mc.ext.ini");
  WriteFile(places_.mcSystemFiles[0], system);
  const std::string user = places_.mcUserFile;

  const SetupRun added = SetupFor("mc");
  ASSERT_EQ(added.code, 0) << added.out << added.err;
  EXPECT_EQ(ReadFile(user), WithBlock(system, places_.mcSystemFiles[0]));
  EXPECT_TRUE(Contains(added.out, "(made from " + places_.mcSystemFiles[0])) << added.out;
  EXPECT_TRUE(Contains(added.out, "added       pdf, txt, text (3 sections)")) << added.out;
  // mc finds no helper in the test's folders, and says so.
  EXPECT_TRUE(Contains(added.out, "note: mc finds no uquendrix helper")) << added.out;
  EXPECT_FALSE(fs::exists(host::BackupPathOf(user)));
  EXPECT_EQ(ReadFile(places_.mcSystemFiles[0]), system);

  fs::create_directories(places_.mcHelperFolders[0]);
  WriteFile(fs::path(places_.mcHelperFolders[0]) / "uquendrix", "#!/bin/sh\n");
  const SetupRun again = SetupFor("mc");
  EXPECT_EQ(again.code, 0);
  EXPECT_TRUE(Contains(again.out, "nothing to change")) << again.out;
  EXPECT_FALSE(Contains(again.out, "finds no uquendrix")) << again.out;
  EXPECT_EQ(ReadFile(user), WithBlock(system, places_.mcSystemFiles[0]));

  // Without the block the file is mc's own again, and goes, so that mc reads
  // its own with the updates its package brings.
  const SetupRun undone = SetupFor("mc", {"--undo"});
  EXPECT_EQ(undone.code, 0) << undone.err;
  EXPECT_TRUE(Contains(undone.out, "removed     pdf, txt, text (3 sections)")) << undone.out;
  EXPECT_TRUE(Contains(undone.out, "the file itself")) << undone.out;
  EXPECT_FALSE(fs::exists(user));
  EXPECT_EQ(ReadFile(host::BackupPathOf(user)), WithBlock(system, places_.mcSystemFiles[0]));
}

TEST_F(SetupMcTest, ChangesTheUsersOwnFileAndUndoesToTheSameBytes) {
  // The user's own file: mc's, with a section of the user's own.
  const std::string mine = SetupFixture("mc.ext.ini") + "[mine]\nShell=.mine\nOpen=less %f\n";
  const std::string user = places_.mcUserFile;
  fs::create_directories(fs::path(user).parent_path());
  WriteFile(user, mine);

  ASSERT_EQ(SetupFor("mc").code, 0);
  EXPECT_EQ(ReadFile(user), WithBlock(mine, ""));
  EXPECT_EQ(ReadFile(host::BackupPathOf(user)), mine);

  const SetupRun undone = SetupFor("mc", {"--undo"});
  EXPECT_EQ(undone.code, 0) << undone.err;
  EXPECT_FALSE(Contains(undone.out, "the file itself")) << undone.out;
  EXPECT_EQ(ReadFile(user), mine);

  const SetupRun nothing = SetupFor("mc", {"--undo"});
  EXPECT_EQ(nothing.code, 0);
  EXPECT_TRUE(Contains(nothing.out, "nothing to undo: it holds no block")) << nothing.out;
}

// A file made from mc's own that the user changed since stays, without the
// block: only what setup added goes.
TEST_F(SetupMcTest, KeepsAFileMadeFromMcsOwnThatTheUserChanged) {
  const std::string system = SetupFixture("mc.ext.ini");
  WriteFile(places_.mcSystemFiles[0], system);
  ASSERT_EQ(SetupFor("mc").code, 0);
  const std::string user = places_.mcUserFile;
  WriteFile(user, ReadFile(user) + "[mine]\nShell=.mine\n");

  ASSERT_EQ(SetupFor("mc", {"--undo"}).code, 0);
  EXPECT_EQ(ReadFile(user), system + "[mine]\nShell=.mine\n");
}

TEST_F(SetupMcTest, FollowsTheRulesWhenTheyChange) {
  WriteFile(places_.mcSystemFiles[0], SetupFixture("mc.ext.ini"));
  ASSERT_EQ(SetupFor("mc").code, 0);
  WriteRules("[txt]\ncommand1=sort filein -o fileout\nfileout1=a\n"
             "[odt]\ncommand1=odt2txt filein > fileout\nfileout1=b\n");
  const SetupRun changed = SetupFor("mc");
  EXPECT_EQ(changed.code, 0) << changed.err;
  EXPECT_TRUE(Contains(changed.out, "added       odt (1 section)")) << changed.out;
  EXPECT_TRUE(Contains(changed.out, "removed     pdf, text (no longer in the rules)"))
      << changed.out;
  const std::string text = ReadFile(places_.mcUserFile);
  EXPECT_TRUE(Contains(text, "[quendrix.odt]\nShell=.odt\n"));
  EXPECT_FALSE(Contains(text, "[quendrix.pdf]"));
  // The file still says where it came from, so --undo still removes it.
  ASSERT_EQ(SetupFor("mc", {"--undo"}).code, 0);
  EXPECT_FALSE(fs::exists(places_.mcUserFile));
}

TEST_F(SetupMcTest, DryRunShowsTheBlockAndWritesNothing) {
  const std::string system = SetupFixture("mc.ext.ini");
  WriteFile(places_.mcSystemFiles[0], system);
  const SetupRun shown = SetupFor("mc", {"--dry-run"});
  EXPECT_EQ(shown.code, 0) << shown.err;
  EXPECT_TRUE(Contains(shown.out, "would add   pdf, txt, text")) << shown.out;
  EXPECT_TRUE(Contains(shown.out, "--- " + places_.mcSystemFiles[0] + "\n+++ " +
                                      places_.mcUserFile + "\n@@ -186,6 +186,25 @@\n"))
      << shown.out;
  EXPECT_TRUE(Contains(shown.out, "\n+[quendrix.pdf]\n+Shell=.pdf\n")) << shown.out;
  EXPECT_TRUE(Contains(shown.out, "nothing was written (--dry-run)"));
  EXPECT_FALSE(fs::exists(places_.mcUserFile));

  ASSERT_EQ(SetupFor("mc").code, 0);
  const std::string added = ReadFile(places_.mcUserFile);
  const SetupRun undoShown = SetupFor("mc", {"--undo", "--dry-run"});
  EXPECT_TRUE(Contains(undoShown.out, "+++ /dev/null")) << undoShown.out;
  EXPECT_EQ(ReadFile(places_.mcUserFile), added);
}

TEST_F(SetupMcTest, RefusesWithoutAnExtensionFileToStartFrom) {
  const SetupRun refused = SetupFor("mc");
  EXPECT_EQ(refused.code, 2);
  EXPECT_TRUE(Contains(refused.err, "is Midnight Commander installed?")) << refused.err;
  EXPECT_FALSE(fs::exists(places_.mcUserFile));

  // A file of an mc before 4.8.29, or of anything else, is left as it is.
  fs::create_directories(fs::path(places_.mcUserFile).parent_path());
  WriteFile(places_.mcUserFile, "shell/.tar\n\tOpen=%cd %p/utar://\n");
  const SetupRun old = SetupFor("mc");
  EXPECT_EQ(old.code, 2);
  EXPECT_TRUE(Contains(old.err, "it has no [mc.ext.ini] section")) << old.err;
  EXPECT_EQ(ReadFile(places_.mcUserFile), "shell/.tar\n\tOpen=%cd %p/utar://\n");
}

// Where mc reads the user's file and helpers: GLib's folders, from the XDG
// variables or HOME; Debian's mc 4.8.29 reads no MC_HOME.
TEST(SetupMcPlacesTest, FindsTheFilesWhereMcReadsThem) {
  const ScopedEnvironmentValue mcHome("MC_HOME", "/elsewhere/mc-home");
  const ScopedEnvironmentValue home("HOME", "/home/someone");
  {
    const ScopedEnvironmentValue config("XDG_CONFIG_HOME", "/xdg/config");
    const ScopedEnvironmentValue data("XDG_DATA_HOME", "/xdg/data");
    const host::SetupPlaces places = host::SetupPlaces::Platform();
    EXPECT_EQ(places.mcUserFile, "/xdg/config/mc/mc.ext.ini");
    EXPECT_EQ(places.mcHelperFolders.front(), "/xdg/data/mc/extfs.d");
  }
  const ScopedEnvironmentValue config("XDG_CONFIG_HOME", std::nullopt);
  const ScopedEnvironmentValue data("XDG_DATA_HOME", std::nullopt);
  const host::SetupPlaces places = host::SetupPlaces::Platform();
  EXPECT_EQ(places.mcUserFile, "/home/someone/.config/mc/mc.ext.ini");
  EXPECT_EQ(places.mcHelperFolders.front(), "/home/someone/.local/share/mc/extfs.d");
  EXPECT_EQ(places.mcSystemFiles.front(), "/etc/mc/mc.ext.ini");
}

// The command line: the host named, --config, and the plug-in's rules.
TEST_F(HostTest, SetupTakesItsHostAndOptionsFromTheCommandLine) {
  WriteRules("[pdf]\ncommand1=pdftotext filein fileout\nfileout1=[N].txt\n");
  const std::string file = work_.file("mc.ext.ini");
  WriteFile(file, "[mc.ext.ini]\nVersion=4.0\n");

  const HostRun shown = Run({"setup", "mc", "--config", file, "--dry-run"});
  EXPECT_EQ(shown.code, 0) << shown.err;
  EXPECT_TRUE(Contains(shown.out, "would add   pdf (1 section)")) << shown.out;
  EXPECT_EQ(ReadFile(file), "[mc.ext.ini]\nVersion=4.0\n");

  const HostRun unknown = Run({"setup", "totalcmd"});
  EXPECT_EQ(unknown.code, 2);
  EXPECT_TRUE(Contains(unknown.err, "totalcmd")) << unknown.err;
}

}  // namespace
}  // namespace quendrix::testing
