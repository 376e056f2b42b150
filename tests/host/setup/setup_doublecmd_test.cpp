// quendrix setup doublecmd against a doublecmd.xml that Double Commander
// wrote: the entries it adds, a second run, --undo back to the same bytes,
// --dry-run, the refusals, and files of other shapes.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "host/setup/setup_fixture.h"

namespace quendrix::testing {
namespace {

namespace fs = std::filesystem;

bool Has(const std::string& text, std::string_view part) {
  return text.find(part) != std::string::npos;
}

// One packer entry as Double Commander writes it, in its list.
std::string PackerEntryXml(std::string_view extension, std::string_view path) {
  return "      <WcxPlugin Enabled=\"True\">\n        <ArchiveExt>" + std::string(extension) +
         "</ArchiveExt>\n        <Path>" + std::string(path) +
         "</Path>\n        <Flags>448</Flags>\n      </WcxPlugin>\n";
}

using SetupDoubleCmdTest = SetupTest;

TEST_F(SetupDoubleCmdTest, AddsOneEntryPerExtensionOnceAndUndoesToTheSameBytes) {
  const std::string original = SetupFixture("doublecmd.xml");
  const std::string settings = places_.doubleCommanderSettings;
  WriteFile(settings, original);

  const SetupRun added = SetupFor("doublecmd");
  ASSERT_EQ(added.code, 0) << added.out << added.err;
  // The new entries head the list, before Double Commander's own, in the
  // order of the rules; nothing else in the file changes.
  std::string expected = original;
  const std::string list = "    <WcxPlugins>\n";
  expected.insert(expected.find(list) + list.size(),
                  PackerEntryXml("pdf", plugin_) + PackerEntryXml("txt", plugin_) +
                      PackerEntryXml("text", plugin_));
  EXPECT_EQ(ReadFile(settings), expected);
  EXPECT_EQ(ReadFile(host::BackupPathOf(settings)), original);
  EXPECT_TRUE(Has(added.out, "added       pdf, txt, text (3 packer entries with flags 448)"))
      << added.out;
  EXPECT_TRUE(Has(added.out, "backup      " + host::BackupPathOf(settings)));
  EXPECT_EQ(added.err, "");

  const SetupRun again = SetupFor("doublecmd");
  EXPECT_EQ(again.code, 0) << again.err;
  EXPECT_TRUE(Has(again.out, "nothing to change")) << again.out;
  EXPECT_EQ(ReadFile(settings), expected);
  EXPECT_EQ(ReadFile(host::BackupPathOf(settings)), original);

  const SetupRun undone = SetupFor("doublecmd", {"--undo"});
  EXPECT_EQ(undone.code, 0) << undone.err;
  EXPECT_TRUE(Has(undone.out, "removed     pdf, txt, text")) << undone.out;
  EXPECT_EQ(ReadFile(settings), original);

  const SetupRun undoneAgain = SetupFor("doublecmd", {"--undo"});
  EXPECT_EQ(undoneAgain.code, 0);
  EXPECT_TRUE(Has(undoneAgain.out, "nothing to undo")) << undoneAgain.out;
  EXPECT_EQ(ReadFile(settings), original);
}

TEST_F(SetupDoubleCmdTest, DryRunShowsTheEntriesAndWritesNothing) {
  const std::string original = SetupFixture("doublecmd.xml");
  const std::string settings = places_.doubleCommanderSettings;
  WriteFile(settings, original);
  running_ = true;  // a dry run writes nothing, so it need not wait for it

  const SetupRun shown = SetupFor("doublecmd", {"--dry-run"});
  EXPECT_EQ(shown.code, 0) << shown.err;
  EXPECT_TRUE(Has(shown.out, "would add   pdf, txt, text")) << shown.out;
  EXPECT_TRUE(Has(shown.out, "--- " + settings + "\n+++ " + settings + "\n@@ ")) << shown.out;
  EXPECT_TRUE(Has(shown.out, "\n+        <ArchiveExt>pdf</ArchiveExt>\n")) << shown.out;
  EXPECT_TRUE(Has(shown.out, "Double Commander is running")) << shown.out;
  EXPECT_TRUE(Has(shown.out, "nothing was written (--dry-run)"));
  EXPECT_EQ(ReadFile(settings), original);
  EXPECT_FALSE(fs::exists(host::BackupPathOf(settings)));
}

TEST_F(SetupDoubleCmdTest, RefusesWhileDoubleCommanderRuns) {
  const std::string original = SetupFixture("doublecmd.xml");
  const std::string settings = places_.doubleCommanderSettings;
  WriteFile(settings, original);
  running_ = true;

  const SetupRun refused = SetupFor("doublecmd");
  EXPECT_EQ(refused.code, 2);
  EXPECT_EQ(asked_, settings);
  EXPECT_TRUE(Has(refused.err, "Double Commander is running, and it writes its settings back "
                               "when it closes"))
      << refused.err;
  EXPECT_EQ(refused.out, "");
  EXPECT_EQ(ReadFile(settings), original);
  EXPECT_FALSE(fs::exists(host::BackupPathOf(settings)));

  running_ = false;
  ASSERT_EQ(SetupFor("doublecmd").code, 0);
  const std::string added = ReadFile(settings);
  running_ = true;
  EXPECT_EQ(SetupFor("doublecmd").code, 0) << "nothing to change needs no refusal";
  EXPECT_EQ(SetupFor("doublecmd", {"--undo"}).code, 2);
  EXPECT_EQ(ReadFile(settings), added);
}

// Before its first close Double Commander has no settings file, and one made
// here would hold no packer but quendrix: Double Commander loads only the
// packers its list names, so its own for zip, tar and the rest would go.
TEST_F(SetupDoubleCmdTest, AsksForAFirstStartWhenThereAreNoSettings) {
  const std::string settings = places_.doubleCommanderSettings;
  const SetupRun refused = SetupFor("doublecmd");
  EXPECT_EQ(refused.code, 2);
  EXPECT_TRUE(Has(refused.err, "there is no " + settings)) << refused.err;
  EXPECT_TRUE(Has(refused.err, "Start Double Commander once, close it, and run this again"));
  EXPECT_TRUE(Has(refused.err, "--config FILE"));
  EXPECT_FALSE(fs::exists(settings));

  const SetupRun undo = SetupFor("doublecmd", {"--undo"});
  EXPECT_EQ(undo.code, 0);
  EXPECT_TRUE(Has(undo.out, "nothing to undo: there is no " + settings)) << undo.out;
  EXPECT_FALSE(fs::exists(settings));
}

TEST_F(SetupDoubleCmdTest, LeavesAFileThatIsNotItsSettingsAsItIs) {
  struct Case {
    std::string_view label;
    std::string file;
    std::string_view error;
  };
  const Case cases[] = {
      {"empty", "", "it holds no XML element"},
      {"broken", "<doublecmd><Plugins></doublecmd>", "it is not XML that can be read"},
      {"another program's", "<?xml version=\"1.0\"?>\n<config/>\n",
       "its top element is <config>, not the <doublecmd>"},
      {"text around", "<doublecmd/>\ntrailing words\n", "text outside its top element"},
      {"two top elements", "<doublecmd/><doublecmd/>", "more than one top element"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string settings = places_.doubleCommanderSettings;
    WriteFile(settings, c.file);
    for (const char* option : {"", "--undo"}) {
      const SetupRun run = SetupFor("doublecmd", {option});
      EXPECT_EQ(run.code, 2);
      EXPECT_TRUE(Has(run.err, settings + " is left as it is: ")) << run.err;
      EXPECT_TRUE(Has(run.err, c.error)) << run.err;
      EXPECT_EQ(ReadFile(settings), c.file);
    }
  }
}

// Files that Double Commander did not write one element a line: each comes
// back to its bytes, or to what Double Commander reads the same way.
TEST_F(SetupDoubleCmdTest, KeepsTheFormOfOtherFiles) {
  WriteRules("[pdf]\ncommand1=a filein fileout\nfileout1=b\n");
  const std::string p = plugin_;
  struct Case {
    std::string_view label;
    std::string file;
    std::string added;
    std::string undone;  // the file itself when empty
  };
  const Case cases[] = {
      {"one line",
       "<doublecmd><Plugins><WcxPlugins><WcxPlugin Enabled=\"True\"><ArchiveExt>zip"
       "</ArchiveExt></WcxPlugin></WcxPlugins></Plugins></doublecmd>",
       "<doublecmd><Plugins><WcxPlugins><WcxPlugin Enabled=\"True\"><ArchiveExt>pdf"
       "</ArchiveExt><Path>" + p + "</Path><Flags>448</Flags></WcxPlugin>"
       "<WcxPlugin Enabled=\"True\"><ArchiveExt>zip</ArchiveExt></WcxPlugin></WcxPlugins>"
       "</Plugins></doublecmd>",
       ""},
      {"an empty list",
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<doublecmd>\n  <Plugins>\n"
       "    <WcxPlugins/>\n  </Plugins>\n</doublecmd>\n",
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<doublecmd>\n  <Plugins>\n"
       "    <WcxPlugins>\n" + PackerEntryXml("pdf", p) +
           "    </WcxPlugins>\n  </Plugins>\n</doublecmd>\n",
       ""},
      // What setup made to hold its entries goes with them.
      {"no plug-ins", "<doublecmd>\n  <Other/>\n</doublecmd>",
       "<doublecmd>\n  <Other/>\n  <Plugins>\n    <WcxPlugins>\n" + PackerEntryXml("pdf", p) +
           "    </WcxPlugins>\n  </Plugins>\n</doublecmd>",
       ""},
      {"plug-ins but no packer list",
       "<doublecmd>\n  <Plugins>\n    <WdxPlugins/>\n  </Plugins>\n</doublecmd>\n",
       "<doublecmd>\n  <Plugins>\n    <WdxPlugins/>\n    <WcxPlugins>\n" +
           PackerEntryXml("pdf", p) + "    </WcxPlugins>\n  </Plugins>\n</doublecmd>\n",
       ""},
      {"no plug-ins, one line", "<doublecmd><Other/></doublecmd>",
       "<doublecmd><Other/><Plugins><WcxPlugins><WcxPlugin Enabled=\"True\"><ArchiveExt>pdf"
       "</ArchiveExt><Path>" + p + "</Path><Flags>448</Flags></WcxPlugin></WcxPlugins>"
       "</Plugins></doublecmd>",
       ""},
      {"CR LF lines, a byte-order mark, a comment",
       "\xEF\xBB\xBF<doublecmd>\r\n  <!-- mine -->\r\n  <Plugins>\r\n    <WcxPlugins>\r\n"
       "    </WcxPlugins>\r\n  </Plugins>\r\n</doublecmd>\r\n",
       "\xEF\xBB\xBF<doublecmd>\r\n  <!-- mine -->\r\n  <Plugins>\r\n    <WcxPlugins>\r\n"
       "      <WcxPlugin Enabled=\"True\">\r\n        <ArchiveExt>pdf</ArchiveExt>\r\n"
       "        <Path>" + p + "</Path>\r\n        <Flags>448</Flags>\r\n"
       "      </WcxPlugin>\r\n    </WcxPlugins>\r\n  </Plugins>\r\n</doublecmd>\r\n",
       "\xEF\xBB\xBF<doublecmd>\r\n  <!-- mine -->\r\n  <Plugins>\r\n    <WcxPlugins/>\r\n"
       "  </Plugins>\r\n</doublecmd>\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string settings = places_.doubleCommanderSettings;
    WriteFile(settings, c.file);
    const SetupRun added = SetupFor("doublecmd");
    ASSERT_EQ(added.code, 0) << added.err;
    EXPECT_EQ(ReadFile(settings), c.added);
    const SetupRun undone = SetupFor("doublecmd", {"--undo"});
    ASSERT_EQ(undone.code, 0) << undone.err;
    EXPECT_EQ(ReadFile(settings), c.undone.empty() ? c.file : c.undone);
  }
}

// The list that setup made stays when the file changed otherwise meanwhile:
// Double Commander then wrote it, and may hold it as its own.
TEST_F(SetupDoubleCmdTest, KeepsTheListItMadeWhenTheFileChangedSince) {
  WriteRules("[pdf]\ncommand1=a filein fileout\nfileout1=b\n");
  const std::string settings = places_.doubleCommanderSettings;
  WriteFile(settings, "<doublecmd>\n  <Other/>\n</doublecmd>\n");
  ASSERT_EQ(SetupFor("doublecmd").code, 0);
  std::string changed = ReadFile(settings);
  changed.replace(changed.find("<Other/>"), 8, "<Other>1</Other>");
  WriteFile(settings, changed);
  ASSERT_EQ(SetupFor("doublecmd", {"--undo"}).code, 0);
  EXPECT_EQ(ReadFile(settings),
            "<doublecmd>\n  <Other>1</Other>\n  <Plugins>\n    <WcxPlugins/>\n  </Plugins>\n"
            "</doublecmd>\n");
}

// A file its owner made read-only is not replaced: setup refuses before it
// changes anything, --dry-run and --undo alike, and goes on once it is
// writable again. A run with nothing to change needs no refusal.
TEST_F(SetupDoubleCmdTest, RefusesAReadOnlyFileBeforeChangingAnything) {
  const std::string original = SetupFixture("doublecmd.xml");
  const std::string settings = places_.doubleCommanderSettings;
  const std::string backup = host::BackupPathOf(settings);
  const fs::perms readOnly = fs::perms::owner_read | fs::perms::group_read;
  const auto expectRefused = [&](const char* option, const std::string& content) {
    SCOPED_TRACE(option);
    const SetupRun refused = SetupFor("doublecmd", {option});
    EXPECT_EQ(refused.code, 2);
    EXPECT_TRUE(Has(refused.err, settings + " is left as it is: it is read-only")) << refused.err;
    EXPECT_EQ(ReadFile(settings), content);
    EXPECT_EQ(fs::status(settings).permissions() & fs::perms::all, readOnly);
  };
  WriteFile(settings, original);
  fs::permissions(settings, readOnly);
  expectRefused("", original);
  expectRefused("--dry-run", original);
  EXPECT_FALSE(fs::exists(fs::symlink_status(backup)));
  EXPECT_EQ(SetupFor("doublecmd", {"--undo"}).code, 0) << "nothing to undo needs no refusal";

  fs::permissions(settings, fs::perms::owner_write, fs::perm_options::add);
  ASSERT_EQ(SetupFor("doublecmd").code, 0);
  const std::string added = ReadFile(settings);
  fs::permissions(settings, readOnly);
  EXPECT_EQ(SetupFor("doublecmd").code, 0) << "nothing to change needs no refusal";
  expectRefused("--undo", added);
  EXPECT_EQ(ReadFile(backup), original);

  fs::permissions(settings, fs::perms::owner_write, fs::perm_options::add);
  ASSERT_EQ(SetupFor("doublecmd", {"--undo"}).code, 0);
  EXPECT_EQ(ReadFile(settings), original);
}

// The backup is a file of setup's own: a link at its name is replaced, never
// written through, and a backup left read-only is replaced too. Each backup
// is one its owner can write, so that a later setup can replace it.
TEST_F(SetupDoubleCmdTest, WritesItsBackupAsAFileOfItsOwn) {
  const std::string original = SetupFixture("doublecmd.xml");
  const std::string settings = places_.doubleCommanderSettings;
  const std::string backup = host::BackupPathOf(settings);
  const TempDir elsewhere;
  const fs::path victim = elsewhere.path() / "victim";
  for (const char* left : {"a link", "a dangling link", "a read-only backup"}) {
    SCOPED_TRACE(left);
    fs::remove(backup);
    WriteFile(settings, original);
    fs::permissions(settings, fs::perms::owner_read | fs::perms::owner_write);
    WriteFile(victim, "not the backup's to change\n");
    if (std::string_view(left) == "a link") fs::create_symlink(victim, backup);
    if (std::string_view(left) == "a dangling link") {
      fs::create_symlink(elsewhere.path() / "nothing", backup);
    }
    if (std::string_view(left) == "a read-only backup") {
      WriteFile(backup, "an older backup\n");
      fs::permissions(backup, fs::perms::owner_read);
    }
    const SetupRun added = SetupFor("doublecmd");
    ASSERT_EQ(added.code, 0) << added.err;
    EXPECT_EQ(ReadFile(victim), "not the backup's to change\n");
    EXPECT_FALSE(fs::exists(elsewhere.path() / "nothing"));
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(backup)));
    EXPECT_EQ(ReadFile(backup), original);
    EXPECT_EQ(fs::status(backup).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_EQ(SetupFor("doublecmd", {"--undo"}).code, 0);
    EXPECT_EQ(ReadFile(settings), original);
  }
}

// Entries are known by the plug-in's path: one the user made by hand counts
// as registered (whatever the case of its extension), and --undo takes out
// every entry of the plug-in and none of another.
TEST_F(SetupDoubleCmdTest, KnowsTheEntriesOfThePluginByItsPath) {
  const std::string other = "/usr/lib/other/quendrix.wcx";
  const std::string settings = places_.doubleCommanderSettings;
  const std::string before = "<doublecmd>\n  <Plugins>\n    <WcxPlugins>\n" +
                             PackerEntryXml("PDF", plugin_) + PackerEntryXml("txt", other) +
                             "    </WcxPlugins>\n  </Plugins>\n</doublecmd>\n";
  WriteFile(settings, before);
  const SetupRun added = SetupFor("doublecmd");
  ASSERT_EQ(added.code, 0) << added.err;
  EXPECT_TRUE(Has(added.out, "registered  pdf\n")) << added.out;
  EXPECT_TRUE(Has(added.out, "added       txt, text (2 packer entries")) << added.out;
  EXPECT_EQ(ReadFile(settings), "<doublecmd>\n  <Plugins>\n    <WcxPlugins>\n" +
                                    PackerEntryXml("txt", plugin_) +
                                    PackerEntryXml("text", plugin_) +
                                    PackerEntryXml("PDF", plugin_) + PackerEntryXml("txt", other) +
                                    "    </WcxPlugins>\n  </Plugins>\n</doublecmd>\n");
  const SetupRun undone = SetupFor("doublecmd", {"--undo"});
  EXPECT_TRUE(Has(undone.out, "removed     txt, text, PDF (3 packer entries")) << undone.out;
  EXPECT_EQ(ReadFile(settings), "<doublecmd>\n  <Plugins>\n    <WcxPlugins>\n" +
                                    PackerEntryXml("txt", other) +
                                    "    </WcxPlugins>\n  </Plugins>\n</doublecmd>\n");
}

// Settings kept elsewhere through a symbolic link (as a dotfiles checkout
// keeps them) stay there: the link stays a link, and the file keeps its
// permissions.
TEST_F(SetupDoubleCmdTest, WritesThroughALinkAndKeepsThePermissions) {
  const TempDir dotfiles;
  const fs::path real = dotfiles.path() / "doublecmd.xml";
  const std::string original = SetupFixture("doublecmd.xml");
  WriteFile(real, original);
  fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write);
  const fs::path link = places_.doubleCommanderSettings;
  fs::create_symlink(real, link);

  ASSERT_EQ(SetupFor("doublecmd").code, 0);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_NE(ReadFile(real), original);
  EXPECT_EQ(fs::status(real).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  ASSERT_EQ(SetupFor("doublecmd", {"--undo"}).code, 0);
  EXPECT_EQ(ReadFile(real), original);
  EXPECT_TRUE(fs::is_symlink(link));
}

TEST_F(SetupDoubleCmdTest, RefusesWithoutAPluginOrAServedExtension) {
  WriteFile(places_.doubleCommanderSettings, SetupFixture("doublecmd.xml"));
  WriteRules("[pdf]\nfileout1=no command\n");
  const SetupRun nothingServed = SetupFor("doublecmd");
  EXPECT_EQ(nothingServed.code, 2);
  EXPECT_TRUE(Has(nothingServed.err, "serves no extension")) << nothingServed.err;
  EXPECT_TRUE(Has(nothingServed.err, "quendrix check")) << nothingServed.err;

  fs::remove(plugin_);
  const SetupRun noPlugin = SetupFor("doublecmd");
  EXPECT_EQ(noPlugin.code, 2);
  EXPECT_TRUE(Has(noPlugin.err, "there is no plug-in at " + plugin_)) << noPlugin.err;
  EXPECT_EQ(ReadFile(places_.doubleCommanderSettings), SetupFixture("doublecmd.xml"));
}

// The system's check: a process of this user named doublecmd counts unless
// its command line names another settings folder (as every Double Commander
// that a test drives does), relative to the folder it runs in.
TEST_F(SetupDoubleCmdTest, SeesTheDoubleCommanderThatReadsTheSettings) {
  const TempDir base;
  const fs::path program = base.path() / "doublecmd";
  WriteFile(program, "#!/bin/sh\nsleep 30\n");
  fs::permissions(program, fs::perms::owner_all);
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    // A group of its own, so that its sleep ends with it.
    setpgid(0, 0);
    if (chdir(base.path().c_str()) == 0) {
      execl(program.c_str(), "doublecmd", "--no-splash", "--config-dir", "cfg", nullptr);
    }
    _exit(127);
  }
  const std::string comm = "/proc/" + std::to_string(pid) + "/comm";
  for (int wait = 0; wait < 500 && ReadFile(comm) != "doublecmd\n"; ++wait) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  const host::SetupPlaces system = host::SetupPlaces::Platform();
  const bool ours = system.doubleCommanderRunning((base.path() / "cfg/doublecmd.xml").string());
  const bool another = system.doubleCommanderRunning((base.path() / "doublecmd.xml").string());
  kill(-pid, SIGKILL);
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  EXPECT_TRUE(ours);
  EXPECT_FALSE(another);
}

}  // namespace
}  // namespace quendrix::testing
