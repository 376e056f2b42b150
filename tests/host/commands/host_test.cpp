// The quendrix host driven as a user drives it: arguments in, output and
// exit code out. The commands run in-process through RunHost, so the same
// tests run on Linux and under Wine.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "host/host_fixture.h"
#include "support/helper_record.h"
#include "support/scoped_environment.h"

namespace quendrix::testing {
namespace {

namespace fs = std::filesystem;

TEST_F(HostTest, UsageHelpAndVersionGiveTheirExitCodes) {
  struct Case {
    std::vector<std::string> args;
    int code;
    std::string_view expected;  // in standard output or error
  };
  const Case cases[] = {
      {{"--version"}, 0, "quendrix 0.0.0.6"},
      {{"--help"}, 0, "extract"},
      {{"extract", "--help"}, 0, "--overwrite"},
      {{"--help"}, 0, "check "},
      {{"check", "--help"}, 0, "the one the plug-in would take"},
      {{}, 2, "subcommand"},
      {{"list"}, 2, "FILE"},
      {{"frobnicate", "x"}, 2, ""},
      {{"extract", "a.txt", "--no-such-option"}, 2, "--no-such-option"},
  };
  for (const Case& c : cases) {
    const HostRun run = RunBare(c.args);
    const std::string shown = ::testing::PrintToString(c.args);
    EXPECT_EQ(run.code, c.code) << shown << "\n" << run.out << run.err;
    EXPECT_TRUE(Contains(run.out + run.err, c.expected)) << shown << "\n"
                                                         << run.out << run.err;
  }
}

TEST_F(HostTest, PluginComesFromOptionThenBesideTheHostThenEnvironment) {
  WriteRules("[txt]\ncommand1=c\nfileout1=[N].out\n");
  const std::string archive = Archive("notes.txt");

  const HostRun missing = Run({"--plugin", pluginDir_.file("nothing-here.wcx"),
                               "list", archive});
  EXPECT_EQ(missing.code, 2);
  EXPECT_TRUE(Contains(missing.err, "cannot load the plug-in")) << missing.err;
  EXPECT_TRUE(missing.out.empty()) << missing.out;

  {
    ScopedEnvironmentValue unset("QUENDRIX_PLUGIN", std::nullopt);
    const HostRun none = RunBare({"list", archive});
    EXPECT_EQ(none.code, 2);
    EXPECT_TRUE(Contains(none.err, "QUENDRIX_PLUGIN")) << none.err;

    const HostRun beside = RunBare({"list", archive}, false, pluginDir_.str());
    EXPECT_EQ(beside.code, 0) << beside.err;
    EXPECT_TRUE(Contains(beside.out, "notes.out")) << beside.out;

    // The installed layout of Linux: the host in bin/, the plug-in in
    // lib/quendrix/, found without an option.
    if (platform::kPathStyle == platform::PathStyle::kPosix) {
      const TempDir prefix;
      fs::create_directories(prefix.path() / "bin");
      fs::create_directories(prefix.path() / "lib" / "quendrix");
      fs::copy_file(plugin_, prefix.path() / "lib" / "quendrix" / "quendrix.wcx");
      fs::copy_file(pluginDir_.path() / "quendrix.ini",
                    prefix.path() / "lib" / "quendrix" / "quendrix.ini");
      const HostRun installed =
          RunBare({"list", archive}, false, prefix.file("bin") + "/");
      EXPECT_EQ(installed.code, 0) << installed.err;
      EXPECT_TRUE(Contains(installed.out, "notes.out")) << installed.out;
    }
  }
  ScopedEnvironmentValue named("QUENDRIX_PLUGIN", plugin_);
  const HostRun fromEnvironment = RunBare({"list", archive});
  EXPECT_EQ(fromEnvironment.code, 0) << fromEnvironment.err;
  EXPECT_TRUE(Contains(fromEnvironment.out, "notes.out")) << fromEnvironment.out;
}

TEST_F(HostTest, ProbeTellsTakenFromRefused) {
  WriteRules("[txt]\ncommand1=c\nfileout1=x\n");
  const std::string taken = Archive("a.txt");
  const std::string refused = Archive("b.pdf");

  const HostRun all = Run({"probe", taken});
  EXPECT_EQ(all.code, 0);
  EXPECT_EQ(all.out, "taken    " + taken + "\n");

  const HostRun mixed = Run({"probe", taken, refused});
  EXPECT_EQ(mixed.code, 2);
  EXPECT_EQ(mixed.out, "taken    " + taken + "\nrefused  " + refused + "\n");
}

TEST_F(HostTest, ListPrintsMembersAsTableOrJsonAndRefusesUnsupportedFiles) {
  WriteRules("[txt]\ncommand1=c\nfileout1=[N].sorted\n"
             "command2=c\nfileout2=say \"hi\"\\now\n");
  const std::string archive = Archive("notes.txt");

  const HostRun table = Run({"list", archive});
  EXPECT_EQ(table.code, 0) << table.err;
  EXPECT_TRUE(Contains(table.out, "  notes.sorted\n")) << table.out;
  EXPECT_TRUE(Contains(table.out, "2 members")) << table.out;

  const HostRun json = Run({"list", "--json", archive});
  EXPECT_EQ(json.code, 0) << json.err;
  EXPECT_TRUE(Contains(json.out, "{\"name\": \"notes.sorted\", \"size\": 1, "
                                 "\"packedSize\": 1, \"fileTime\": "))
      << json.out;
  EXPECT_TRUE(Contains(json.out, "{\"name\": \"say \\\"hi\\\"\\\\now\""))
      << json.out;

  for (const bool asJson : {false, true}) {
    std::vector<std::string> args = {"list", Archive("notes.pdf")};
    if (asJson) args.push_back("--json");
    const HostRun refused = Run(args);
    EXPECT_EQ(refused.code, 2);
    EXPECT_TRUE(Contains(refused.err, "does not support")) << refused.err;
    EXPECT_TRUE(refused.out.empty()) << refused.out;
  }
}

// Names that no ANSI code page writes: the Windows host takes its arguments
// as wide text and drives the plug-in's wide functions, so the names arrive
// whole in the table, in the JSON and at the destination.
TEST_F(HostTest, ListsAndExtractsNamesOfAnyScript) {
  const std::string report = "\xE5\xA0\xB1\xE5\x91\x8A";                // 報告
  const std::string rules = "[txt]\ncommand1=" + HelperPath() +
                            " --copy \"filein\" \"fileout\"\nfileout1=[N] " +
                            report + ".txt\n";
  // Windows rules files hold such characters in UTF-16, Linux ones in UTF-8.
  WriteRules(platform::kPathStyle == platform::PathStyle::kWindows
                 ? Utf16FileBytes(rules)
                 : rules);
  const std::string base =
      "\xD0\x9E\xD1\x82\xD1\x87\xD1\x91\xD1\x82 \xF0\x9F\x8E\xB5";      // Отчёт 🎵
  const fs::path folder = work_.path() / PathOfUtf8("\xE8\xB3\x87\xE6\x96\x99");  // 資料
  fs::create_directory(folder);
  const std::string archive = Utf8Of(folder / PathOfUtf8(base + ".txt"));
  WriteFile(PathOfUtf8(archive), "the archive's bytes\n");
  const std::string member = base + " " + report + ".txt";

  const HostRun probe = Run({"probe", archive});
  EXPECT_EQ(probe.code, 0) << probe.out << probe.err;
  EXPECT_TRUE(Contains(probe.out, "taken    " + archive)) << probe.out;
  const HostRun table = Run({"list", archive});
  EXPECT_EQ(table.code, 0) << table.err;
  EXPECT_TRUE(Contains(table.out, "  " + member + "\n")) << table.out;
  const HostRun json = Run({"list", archive, "--json"});
  EXPECT_EQ(json.code, 0) << json.err;
  EXPECT_TRUE(Contains(json.out, "\"name\": \"" + member + "\"")) << json.out;

  const std::string outDir = out_.utf8File("\xE5\x87\xBA\xE5\x8A\x9B \xF0\x9F\x98\x80");
  const HostRun extract = Run({"extract", archive, "-C", outDir});
  EXPECT_EQ(extract.code, 0) << extract.out << extract.err;
  EXPECT_TRUE(Contains(extract.out, "made      " + member + "\n")) << extract.out;
  EXPECT_EQ(ReadFile(PathOfUtf8(outDir) / PathOfUtf8(member)), "the archive's bytes\n");
}

// Members that do what a rule's program can do: copy the archive, exit
// without writing, or not start at all.
class HostExtractTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    const std::string copy =
        HelperCommandLine({"--copy", "filein", "fileout"});
    WriteRules("[txt]\n"
               "command1=" + copy + "\nfileout1=[N].one\n"
               "command2=" + copy + "\nfileout2=[N].two\n"
               "command3=" + HelperCommandLine({"--exit", "0"}) +
               "\nfileout3=[N].none\n"
               "command4=" + CommandLineOf({work_.file("no-such-program"), "fileout"}) +
               "\nfileout4=[N].missing\n");
    archive_ = Archive("notes.txt", "the archive's bytes\n");
  }

  HostRun Extract(std::vector<std::string> extra) const {
    std::vector<std::string> args = {"extract", archive_, "-C", out_.str()};
    args.insert(args.end(), extra.begin(), extra.end());
    return Run(args);
  }

  std::string archive_;
};

TEST_F(HostExtractTest, ReportsEachSelectedMemberAsMadeNotMadeOrFailed) {
  struct Case {
    std::vector<std::string> patterns;
    int code;
    std::vector<std::string> lines;    // expected in standard output
    std::vector<std::string> present;  // files afterwards
    std::vector<std::string> absent;
  };
  const Case cases[] = {
      {{},
       1,
       {"made      notes.one\n", "made      notes.two\n",
        "failed    notes.none: wrote no file\n",
        // The reason names the program and the system's words for the error.
        "failed    notes.missing: ", "no-such-program could not be started: ",
        "4 members: 2 made, 0 not made, 2 failed, 0 kept\n"},
       {"notes.one", "notes.two"},
       {"notes.none", "notes.missing"}},
      {{"*.two"}, 0, {"made      notes.two\n", "1 member: 1 made"}, {"notes.two"},
       {"notes.one"}},
      {{"notes.[ot]*", "*.none"},
       1,
       {"made      notes.one\n", "made      notes.two\n", "failed    notes.none"},
       {"notes.one", "notes.two"},
       {"notes.missing"}},
      {{"notes.?ne"}, 0, {"made      notes.one\n"}, {"notes.one"}, {"notes.none"}},
  };
  for (const Case& c : cases) {
    TempDir fresh;
    std::vector<std::string> args = {"extract", archive_, "-C", fresh.str()};
    args.insert(args.end(), c.patterns.begin(), c.patterns.end());
    const HostRun run = Run(args);
    const std::string shown = ::testing::PrintToString(c.patterns);
    EXPECT_EQ(run.code, c.code) << shown << "\n" << run.out << run.err;
    for (const std::string& line : c.lines) {
      EXPECT_TRUE(Contains(run.out, line)) << shown << ": " << line << "\n" << run.out;
    }
    for (const std::string& name : c.present) {
      EXPECT_EQ(ReadFile(fresh.path() / name), "the archive's bytes\n") << shown << name;
    }
    for (const std::string& name : c.absent) {
      EXPECT_FALSE(fs::exists(fresh.path() / name)) << shown << name;
    }
  }
}

TEST_F(HostExtractTest, PatternThatMatchesNothingIsReported) {
  const HostRun none = Extract({"*.pdf"});
  EXPECT_EQ(none.code, 1);
  EXPECT_TRUE(Contains(none.err, "no member matches *.pdf")) << none.err;
  EXPECT_TRUE(fs::is_empty(out_.path()));

  // The other patterns are still served.
  const HostRun some = Extract({"*.one", "nothing"});
  EXPECT_EQ(some.code, 1);
  EXPECT_TRUE(Contains(some.err, "no member matches nothing")) << some.err;
  EXPECT_TRUE(Contains(some.out, "made      notes.one\n")) << some.out;
  EXPECT_TRUE(OutExists("notes.one"));
}

TEST_F(HostExtractTest, ExistingFileIsKeptUnlessOverwriteIsGiven) {
  WriteFile(out_.path() / "notes.one", "older\n");

  const HostRun kept = Extract({"*.one"});
  EXPECT_EQ(kept.code, 1);
  EXPECT_TRUE(Contains(kept.out, "kept      notes.one: exists; not overwritten"))
      << kept.out;
  EXPECT_EQ(OutFile("notes.one"), "older\n");

  const HostRun replaced = Extract({"*.one", "--overwrite"});
  EXPECT_EQ(replaced.code, 0) << replaced.out << replaced.err;
  EXPECT_TRUE(Contains(replaced.out, "made      notes.one\n")) << replaced.out;
  EXPECT_EQ(OutFile("notes.one"), "the archive's bytes\n");

  // An existing file that the member's program does not replace is not
  // mistaken for a member it made.
  WriteFile(out_.path() / "notes.none", "older\n");
  const HostRun stale = Extract({"*.none", "--overwrite"});
  EXPECT_EQ(stale.code, 1);
  EXPECT_TRUE(Contains(stale.out, "failed    notes.none: wrote no file")) << stale.out;
}

// A member whose program fails is reported with the program's own words,
// where the plug-in keeps them, and the host's exit status says so.
TEST_F(HostTest, FailingMemberIsReportedWithItsExitStatusAndLastMessage) {
  constexpr bool kKeepsMessages = platform::kPathStyle == platform::PathStyle::kPosix;
  WriteRules("[txt]\n"
             "command1=" + HelperCommandLine({"--print", "input is damaged", "--exit", "3"}) +
             "\nfileout1=[N].bad\n"
             "command2=" + HelperCommandLine({"--stderr-bytes", "8000000", "--exit", "4"}) +
             "\nfileout2=[N].chatty\n"
             "command3=" + HelperCommandLine({"--copy", "filein", "fileout"}) +
             "\nfileout3=[N].good\n");
  const std::string archive = Archive("notes.txt");
  const HostRun run = Run({"extract", archive, "-C", out_.str()});
  EXPECT_EQ(run.code, 1) << run.out << run.err;
  const std::string bad = "failed    notes.bad: its program ended with exit status 3";
  EXPECT_TRUE(Contains(run.out, bad + (kKeepsMessages ? ": input is damaged\n" : "\n")))
      << run.out;
  // Megabytes of errors neither stall the program nor reach the report
  // beyond its last line.
  const std::string chatty = "failed    notes.chatty: its program ended with exit status 4";
  EXPECT_TRUE(Contains(run.out, chatty + (kKeepsMessages ? ": abcdefghijklmnopqrstuvwxyz " : "\n")))
      << run.out;
  EXPECT_TRUE(Contains(run.out, "made      notes.good\n")) << run.out;
  EXPECT_TRUE(Contains(run.out, "3 members: 1 made, 0 not made, 2 failed, 0 kept\n")) << run.out;
  EXPECT_FALSE(OutExists("notes.bad"));
}

TEST_F(HostExtractTest, ProgressIsShownOnlyOnATerminal) {
  const std::vector<std::string> args = {"extract", archive_, "-C", out_.str(),
                                         "--overwrite", "*.one", "*.two"};
  const HostRun watched = Run(args, true);
  EXPECT_EQ(watched.code, 0) << watched.err;
  EXPECT_TRUE(Contains(watched.err, "member 1 of 2, ")) << watched.err;
  EXPECT_TRUE(Contains(watched.err, "member 2 of 2, ")) << watched.err;
  EXPECT_TRUE(Contains(watched.err, " s: notes.two")) << watched.err;

  const HostRun piped = Run(args, false);
  EXPECT_EQ(piped.code, 0);
  EXPECT_TRUE(piped.err.empty()) << piped.err;
}

TEST_F(HostTest, MemberNamesNeverLeadOutsideTheDestination) {
  const std::string copy = HelperCommandLine({"--copy", "filein", "fileout"});
  WriteRules("[txt]\ncommand1=" + copy + "\nfileout1=../escaped.txt\n"
             "command2=" + copy + "\nfileout2=sub/inner.txt\n");
  const std::string archive = Archive("notes.txt", "bytes");
  const fs::path target = out_.path() / "target";

  const HostRun run = Run({"extract", archive, "-C", target.string()});
  EXPECT_EQ(run.code, 1);
  EXPECT_TRUE(Contains(run.out, "failed    ../escaped.txt: the name leads "
                                "outside the destination directory"))
      << run.out;
  EXPECT_FALSE(fs::exists(out_.path() / "escaped.txt"));
  EXPECT_EQ(ReadFile(target / "sub" / "inner.txt"), "bytes");
}

TEST_F(HostTest, PluginThatStartsItsListOverIsStopped) {
  const std::string archive = Archive("three.fake");
  struct Case {
    std::vector<std::string> patterns;
    std::vector<std::string> made;
  };
  const Case cases[] = {{{}, {"one.txt"}}, {{"two.txt"}, {"two.txt"}}};
  for (const Case& c : cases) {
    TempDir fresh;
    std::vector<std::string> args = {"--plugin", FakePluginPath(), "extract",
                                     archive, "-C", fresh.str()};
    args.insert(args.end(), c.patterns.begin(), c.patterns.end());
    const HostRun run = Run(args);
    const std::string shown = ::testing::PrintToString(c.patterns);
    EXPECT_EQ(run.code, 1) << shown << run.out << run.err;
    EXPECT_TRUE(Contains(run.err, "list changed during the extraction"))
        << shown << run.err;
    for (const std::string& name : c.made) {
      EXPECT_TRUE(Contains(run.out, "made      " + name + "\n")) << shown << run.out;
    }
    // Every member was made at most once: the host stopped.
    std::size_t files = 0;
    for (const auto& entry : fs::directory_iterator(fresh.path())) {
      (void)entry;
      ++files;
    }
    EXPECT_EQ(files, c.made.size()) << shown;
  }
}

TEST_F(HostTest, PluginWhoseListNeverEndsIsStopped) {
  const std::string archive = Archive("endless.fake");
  const HostRun list = Run({"--plugin", FakePluginPath(), "list", archive});
  EXPECT_EQ(list.code, 1);
  EXPECT_TRUE(Contains(list.err, "did not end after 1048576 members")) << list.err;

  const HostRun extract = Run({"--plugin", FakePluginPath(), "extract",
                               archive, "-C", out_.str()});
  EXPECT_EQ(extract.code, 1);
  EXPECT_TRUE(Contains(extract.err, "nothing extracted")) << extract.err;
  EXPECT_TRUE(fs::is_empty(out_.path()));
}

TEST_F(HostTest, ExplainWarnsOfACommandThatLosesItsQuotationMarks) {
  WriteRules("[txt]\n"
             "command1=\"C:\\windows\\system32\\cmd.exe\" /c echo hi > \"fileout\"\n"
             "fileout1=[N].one\n"
             "command2=\"\"C:\\Program Files\\conv.exe\" \"fileout\"\"\nfileout2=[N].two\n");
  const HostRun run = Run({"explain", Archive("notes.txt")});
  EXPECT_EQ(run.code, 1) << run.out << run.err;
  EXPECT_TRUE(Contains(run.out, "quendrix.ini:2: [txt] command1: the value begins and ends with "
                                "a quotation mark"))
      << run.out;
  EXPECT_TRUE(Contains(run.out, "wrap the whole value in one more pair of quotation marks"))
      << run.out;
  EXPECT_FALSE(Contains(run.out, "command2: the value begins")) << run.out;
}

TEST_F(HostTest, ExplainShowsSectionSettingsMembersProgramsAndProblems) {
  InstallProgram("prog");
  WriteRules("[doc]\nsynonym=txt\ncommand1=ignored\n"
             "[txt]\nsynonym=other\nlog=1\nShowConsole=7\nIgnoreExitCode=1\n"
             "command1=prog -o fileout filein\nfileout1=[N].one\n"
             "command2=prog filein\nfileout2=[N].two\n"
             "command3=prog fileout\n"
             "command5=x\nfileout5=y\ncommand07=z\n");
  const std::string archive = Archive("report.doc");
  const std::string rules = pluginDir_.str() + "quendrix.ini";

  const HostRun run = Run({"explain", archive});
  EXPECT_EQ(run.code, 1) << run.out << run.err;
  for (const std::string& line : {
           "rules file  " + rules + "\n",
           "looked at   " + rules + " (the plug-in's folder): in use\nsection",
           std::string("section     [doc], whose synonym key names [txt]\n"),
           std::string("settings    log=1 (on), ShortFileName=0 (off), ShowConsole=7, "
                       "IgnoreExitCode=1 (on), Cache=0 (off)\n"),
           std::string("members     2\n"),
           std::string("member 1    report.one\n"),
           "  program   " + pluginDir_.file("prog") + " (in the plug-in's folder)\n",
           std::string("member 2    report.two\n"),
           std::string("(no fileout: the program is not told where to write"),
           "\nproblems\n  " + rules + ":2: [doc] synonym names [txt], which has a synonym of "
               "its own (to [other])",
           "  " + rules + ":3: [doc] command1 is never read: [doc] takes every key from [txt]",
           "  " + rules + ":5: [txt] synonym names [other], but there is no section [other]",
           "  " + rules + ":11: [txt] command2: the command never names fileout",
           "  " + rules + ":13: [txt] command3 has no fileout3: the list ends after member 2\n",
           "  " + rules + ":14: [txt] command5 never lists: the numbering stops at 3",
           "  " + rules + ":15: [txt] fileout5 never lists",
           "  " + rules + ":16: [txt] command07 is never read",
       }) {
    EXPECT_TRUE(Contains(run.out, line)) << line << "\n" << run.out;
  }

  // The carets stand right under the word that the destination replaces.
  std::istringstream lines(run.out);
  std::string line;
  bool marked = false;
  while (std::getline(lines, line)) {
    if (line.rfind("  command1  ", 0) != 0) continue;
    std::string marks;
    ASSERT_TRUE(std::getline(lines, marks));
    const std::size_t word = line.find("fileout");
    ASSERT_NE(word, std::string::npos) << line;
    EXPECT_EQ(marks.find('^'), word) << line << "\n" << marks;
    EXPECT_EQ(marks.substr(word), "^^^^^^^ the destination");
    marked = true;
  }
  EXPECT_TRUE(marked) << run.out;
}

// The helper scripts of the shipped recipes lie in recipes/ of the
// plug-in's folder and are named by their bare names: explain shows the
// script as the program of each line, and check finds it there.
TEST_F(HostTest, ExplainAndCheckFindAHelperScriptInTheRecipesFolder) {
  const bool windows = platform::kPathStyle == platform::PathStyle::kWindows;
  InstallProgram("helper", "recipes");
  WriteRules(windows ? "[txt]\ncommand1=helper \"filein\" \"fileout\"\nfileout1=[N].one\n"
                     : "[txt]\ncommand1=helper extract filein one > fileout\nfileout1=[N].one\n"
                       "list=helper list filein\nextract=helper extract filein [M] > fileout\n");
  const std::string script = pluginDir_.str() + (windows ? "recipes\\helper" : "recipes/helper");

  const HostRun explained = Run({"explain", Archive("a.txt")});
  EXPECT_EQ(explained.code, 0) << explained.out << explained.err;
  EXPECT_TRUE(Contains(explained.out, "  command1  " + script + " ")) << explained.out;
  EXPECT_TRUE(Contains(explained.out,
                       "  program   " + script + " (in the plug-in's recipes folder)\n"))
      << explained.out;
  if (!windows) {
    EXPECT_TRUE(Contains(explained.out, "  list      " + script + " list ")) << explained.out;
  }

  const HostRun checked = Run({"check"});
  EXPECT_EQ(checked.code, 0) << checked.out << checked.err;
  EXPECT_TRUE(Contains(checked.out, "no problems")) << checked.out;
}

// Only the sections a file's lookup reads are explained: problems elsewhere
// in the rules file are check's.
TEST_F(HostTest, ExplainReportsTheProblemsOfItsSectionsOnly) {
  InstallProgram("prog");
  WriteRules("[txt]\ncommand1=prog fileout\nfileout1=[N].out\n"
             "[pdf]\ncommand1=nosuchprogram filein\nfileout1=x\n");
  const HostRun sound = Run({"explain", Archive("a.txt")});
  EXPECT_EQ(sound.code, 0) << sound.out;
  EXPECT_FALSE(Contains(sound.out, "problems")) << sound.out;

  const HostRun broken = Run({"explain", Archive("a.pdf")});
  EXPECT_EQ(broken.code, 1) << broken.out;
  EXPECT_TRUE(Contains(broken.out, "  program   nosuchprogram: none, neither in the plug-in's "
                                   "folder (" + pluginDir_.str() + ")"))
      << broken.out;
  EXPECT_TRUE(Contains(broken.out, "quendrix.ini:5: [pdf] command1: there is no program "
                                   "nosuchprogram"))
      << broken.out;
  EXPECT_TRUE(Contains(broken.out, "quendrix.ini:5: [pdf] command1: the command never names "
                                   "fileout"))
      << broken.out;
}

TEST_F(HostTest, ExplainRefusesWhatThePluginRefuses) {
  struct Case {
    std::string rules;  // nothing written when empty
    std::string file;
    std::string expected;
  };
  const Case cases[] = {
      {"", "a.txt",
       "there is no rules file in any of these places:\n  " + pluginDir_.str() +
           "quendrix.ini (the plug-in's folder)\n"},
      {"[txt]\ncommand1=c\nfileout1=x\n", "a.pdf", "has no section [pdf]"},
      {"[txt]\ncommand2=c\nfileout2=x\n", "a.txt",
       "there is no command1, so the plug-in refuses files of this kind"},
  };
  for (const Case& c : cases) {
    fs::remove(pluginDir_.path() / "quendrix.ini");
    if (!c.rules.empty()) WriteRules(c.rules);
    const HostRun run = Run({"explain", Archive(c.file)});
    EXPECT_EQ(run.code, 2) << c.file << run.out << run.err;
    EXPECT_TRUE(Contains(run.out + run.err, c.expected))
        << c.expected << "\n" << run.out << run.err;
  }
}

TEST_F(HostTest, ExplainNamesThePlacesLookedAtAndTheOneInUse) {
  const bool windows = platform::kPathStyle == platform::PathStyle::kWindows;
  const TempDir config;
  const ScopedEnvironmentValue user(windows ? "APPDATA" : "XDG_CONFIG_HOME",
                                    config.str());
  const std::string userDir = config.file("quendrix") + platform::kPathSeparator;
  fs::create_directories(config.path() / "quendrix");
  WriteFile(config.path() / "quendrix" / "quendrix.ini",
            "[txt]\nlog=1\ncommand1=prog fileout\nfileout1=[N].out\n");
  fs::remove(pluginDir_.path() / "quendrix.ini");

  InstallProgram("prog");
  const HostRun run = Run({"explain", Archive("a.txt")});
  EXPECT_EQ(run.code, 0) << run.out << run.err;
  const std::string expected =
      "rules file  " + userDir + "quendrix.ini\n" +
      "looked at   " + pluginDir_.str() + "quendrix.ini (the plug-in's folder): none\n" +
      "            " + userDir + "quendrix.ini (the user's): in use\n" +
      "section     [txt]\n";
  EXPECT_TRUE(Contains(run.out, expected)) << expected << "\n" << run.out;
  EXPECT_TRUE(Contains(run.out, "added to " + userDir + "quendrix.log\n")) << run.out;
}

TEST_F(HostTest, ExplainOfSoundRulesSucceeds) {
  InstallProgram("prog");
  WriteRules("[txt]\ncommand1=prog fileout\nfileout1=[N].[E].out\n");
  const HostRun run = Run({"explain", Archive("a.txt")});
  EXPECT_EQ(run.code, 0) << run.out;
  EXPECT_TRUE(Contains(run.out, "member 1    a.txt.out\n")) << run.out;
  EXPECT_FALSE(Contains(run.out, "problems")) << run.out;
}

// A bare name that the plug-in's folder does not have runs from PATH: the
// command line explain shows is the one that runs, with that program's
// path, never the plug-in's folder that the expansion put in front.
TEST_F(HostTest, ExplainShowsTheCommandLineAsItRuns) {
  const bool windows = platform::kPathStyle == platform::PathStyle::kWindows;
  WriteRules(std::string("[txt]\ncommand1=") +
             (windows ? "cmd /c type \"filein\" > \"fileout\"" : "sh -c 'cat \"$1\"' sh filein > fileout") +
             "\nfileout1=[N].out\n");
  const HostRun run = Run({"explain", Archive("a.txt")});
  EXPECT_EQ(run.code, 0) << run.out;
  const std::size_t programAt = run.out.find("  program   ");
  ASSERT_NE(programAt, std::string::npos) << run.out;
  const std::size_t pathAt = programAt + std::string("  program   ").size();
  const std::string program = run.out.substr(pathAt, run.out.find(" (", pathAt) - pathAt);
  const std::size_t lineAt = run.out.find("  command1  ");
  ASSERT_NE(lineAt, std::string::npos) << run.out;
  const std::string line = run.out.substr(lineAt, run.out.find('\n', lineAt) - lineAt);
  EXPECT_EQ(line.rfind("  command1  " + program + " ", 0), 0u) << run.out;
  EXPECT_FALSE(Contains(line, pluginDir_.str())) << run.out;
}

}  // namespace
}  // namespace quendrix::testing

namespace quendrix::testing {
namespace {

// A section whose members a list program prints: listed with their
// folders and sizes, extracted into their folders, and a list that fails
// is a failure of the command, with its reason.
class HostListedTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    WriteFile(work_.path() / "names.txt", "a.txt\t3\ndocs/b.txt\t4\n../evil\n");
    std::filesystem::create_directories(work_.path() / "source" / "docs");
    WriteFile(work_.path() / "source" / "a.txt", "aaa");
    WriteFile(work_.path() / "source" / "docs" / "b.txt", "bbbb");
    const std::string separator(1, platform::kPathSeparator);
    WriteRules("[box]\nlist=" + HelperCommandLine({"--stdout-file", work_.file("names.txt")}) +
               "\nextract=" + HelperCommandLine({"--copy"}) + " \"" + work_.file("source") +
               separator + "[M]\" \"fileout\"\n"
               "[bad]\nlist=" + HelperCommandLine({"--print", "no such archive", "--exit", "9"}) +
               "\nextract=x fileout\n");
    archive_ = Archive("stuff.box", "x");
  }

  std::string archive_;
};

TEST_F(HostListedTest, ListShowsFoldersSizesAndWhatWasSkipped) {
  const HostRun run = Run({"list", archive_});
  EXPECT_EQ(run.code, 0) << run.err;
  const std::string nested = std::string("docs") + platform::kPathSeparator + "b.txt";
  EXPECT_TRUE(Contains(run.out, "        3  ")) << run.out;
  EXPECT_TRUE(Contains(run.out, nested)) << run.out;
  EXPECT_FALSE(Contains(run.out, "evil")) << run.out;
  EXPECT_TRUE(Contains(run.err, "1 listed name was skipped")) << run.err;
}

// A listed time that the header's time field holds is shown as listed, one
// it cannot hold gives way to the file's own time, alike in the table, the
// JSON and mc's listing, each with the warning that counts them.
TEST_F(HostListedTest, EveryListShowsTheSameTimes) {
  WriteFile(work_.path() / "names.txt",
            "late.txt\t3\t2050-06-01 10:00:00\nearly.txt\t3\t1960-06-01 10:00:00\n");
  ASSERT_TRUE(platform::SetFileModifiedUnixSeconds(archive_, 981173106));  // 2001-02-03
  const char* const warning = "1 listed time lies outside what the file manager's time field";
  const HostRun table = Run({"list", archive_});
  EXPECT_TRUE(Contains(table.out, "2050-06-01 10:00  late.txt")) << table.out;
  EXPECT_TRUE(Contains(table.out, "2001-02-0")) << table.out;
  EXPECT_FALSE(Contains(table.out, "1960")) << table.out;
  EXPECT_FALSE(Contains(table.out, "1970")) << table.out;
  EXPECT_TRUE(Contains(table.err, warning)) << table.err;

  const HostRun json = Run({"list", "--json", archive_});
  EXPECT_TRUE(Contains(json.out, "\"time\": \"2050-06-01 10:00\"")) << json.out;
  EXPECT_TRUE(Contains(json.out, "\"time\": \"2001-02-0")) << json.out;
  EXPECT_FALSE(Contains(json.out, "\"fileTime\": -")) << json.out;
  EXPECT_TRUE(Contains(json.err, warning)) << json.err;

  if (platform::kPathStyle == platform::PathStyle::kWindows) return;  // mc runs on POSIX
  const HostRun mc = Run({"mc", "list", archive_});
  EXPECT_TRUE(Contains(mc.out, "06-01-2050 10:00:00 ./late.txt")) << mc.out;
  EXPECT_TRUE(Contains(mc.out, "-2001 ")) << mc.out;
  EXPECT_FALSE(Contains(mc.out, "1970")) << mc.out;
  EXPECT_TRUE(Contains(mc.err, warning)) << mc.err;
}

TEST_F(HostListedTest, ExtractMakesTheMembersInTheirFolders) {
  const HostRun run = Run({"extract", archive_, "-C", out_.str()});
  EXPECT_EQ(run.code, 0) << run.out << run.err;
  EXPECT_EQ(OutFile("a.txt"), "aaa");
  EXPECT_EQ(ReadFile(out_.path() / "docs" / "b.txt"), "bbbb");
}

TEST_F(HostListedTest, ListThatFailsIsAFailureWithItsReason) {
  const std::string bad = Archive("stuff.bad", "x");
  const HostRun run = Run({"list", bad});
  EXPECT_EQ(run.code, 1);
  EXPECT_TRUE(Contains(run.err, "list: its program ended with exit status 9"))
      << run.err;
  const HostRun refused = Run({"list", Archive("stuff.none", "x")});
  EXPECT_EQ(refused.code, 2);
}

}  // namespace
}  // namespace quendrix::testing

namespace quendrix::testing {
namespace {

// explain shows a section's list and extract commands without running
// them, and with --run-list what the list program gives.
TEST_F(HostListedTest, ExplainShowsTheListAndRunsItOnlyWhenAsked) {
  const std::string count = work_.file("runs");
  WriteRules("[box]\nlist=" +
             HelperCommandLine({"--count", count, "--stdout-file", work_.file("names.txt")}) +
             "\nextract=" + HelperCommandLine({"--copy", "[M]", "fileout"}) + "\n");
  const HostRun plain = Run({"explain", archive_});
  EXPECT_EQ(plain.code, 0) << plain.out;
  EXPECT_TRUE(Contains(plain.out, "  list      ")) << plain.out;
  EXPECT_TRUE(Contains(plain.out, "^^^ the listed member's name")) << plain.out;
  EXPECT_FALSE(std::filesystem::exists(count)) << "explain ran the list program";

  const HostRun ran = Run({"explain", "--run-list", archive_});
  EXPECT_EQ(ran.code, 0) << ran.out;
  EXPECT_TRUE(Contains(ran.out, "taken       2 names")) << ran.out;
  EXPECT_TRUE(Contains(ran.out, "  a.txt\t3 bytes")) << ran.out;
  EXPECT_TRUE(Contains(ran.out, "line 3: ../evil (it has a . or .. part)")) << ran.out;
}

}  // namespace
}  // namespace quendrix::testing
