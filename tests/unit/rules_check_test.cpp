#include "check/rules_check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "check/member_problems.h"
#include "check/near_words.h"
#include "check/numbering_problems.h"
#include "check/placeholder_slips.h"

namespace quendrix {
namespace {

using platform::PathStyle;
using namespace std::string_literals;

// A machine of either path style that the check asks through its services:
// a few programs, PATH, a file that may not be executed, and a counter of
// the questions asked.
struct FakeSystem {
  PathStyle style = PathStyle::kPosix;
  std::set<std::string> programs;
  std::map<std::string, std::string> onPath;
  std::set<std::string> plainFiles;
  std::map<std::string, std::string> environment;
  int questions = 0;

  CheckServices Services() {
    CheckServices services;
    services.pathStyle = style;
    services.pluginDir = style == PathStyle::kPosix ? "/plug/" : "C:\\plug\\";
    services.environment = [this](std::string_view name) {
      const auto at = environment.find(std::string(name));
      return at == environment.end() ? std::string() : at->second;
    };
    services.isProgram = [this](const std::string& path) {
      ++questions;
      return programs.contains(path);
    };
    services.searchPath = [this](const std::string& name) -> std::optional<std::string> {
      ++questions;
      const auto at = onPath.find(name);
      if (at == onPath.end()) return std::nullopt;
      return at->second;
    };
    services.fileExists = [this](const std::string& path) {
      return programs.contains(path) || plainFiles.contains(path);
    };
    return services;
  }
};

FakeSystem Posix() {
  FakeSystem system;
  system.programs = {"/usr/bin/sort", "/usr/bin/tr", "/bin/sh", "/plug/conv",
                     "/opt/tools/conv"};
  system.onPath = {{"sort", "/usr/bin/sort"}, {"tr", "/usr/bin/tr"}, {"sh", "/bin/sh"}};
  system.plainFiles = {"/opt/tools/readme"};
  system.environment = {{"PATH", "/usr/bin:/bin"}, {"TOOLS", "/opt/tools"}};
  return system;
}

FakeSystem Windows() {
  FakeSystem system;
  system.style = PathStyle::kWindows;
  system.programs = {"C:\\tools\\conv.exe", "C:\\windows\\system32\\cmd.exe",
                     "C:\\plug\\local.exe"};
  system.onPath = {{"cmd", "C:\\windows\\system32\\cmd.exe"}};
  system.environment = {{"SystemRoot", "C:\\windows"}};
  return system;
}

struct Expected {
  std::size_t line;
  std::string section;
  std::string text;  // a part of the problem's text
};

struct Case {
  const char* label;
  PathStyle style;
  std::string rules;
  std::vector<Expected> problems;
};

constexpr std::string_view kGoodPair = "command1=sort -o fileout filein\nfileout1=[N].sorted\n";

std::string Txt(std::string_view lines) { return "[txt]\n" + std::string(lines); }

void ExpectProblems(const Case& c) {
  FakeSystem system = c.style == PathStyle::kPosix ? Posix() : Windows();
  const RulesCheck check = CheckRules(c.rules, system.Services());
  std::string all;
  for (const RuleProblem& p : check.problems) {
    all += std::to_string(p.line) + ": [" + p.section + "] " + p.text + "\n";
  }
  ASSERT_EQ(check.problems.size(), c.problems.size()) << c.label << "\n" << all;
  for (std::size_t i = 0; i < c.problems.size(); ++i) {
    const RuleProblem& got = check.problems[i];
    const Expected& want = c.problems[i];
    EXPECT_EQ(got.line, want.line) << c.label << "\n" << all;
    EXPECT_EQ(got.section, want.section) << c.label << "\n" << all;
    EXPECT_NE(got.text.find(want.text), std::string::npos)
        << c.label << ": wanted \"" << want.text << "\"\n" << all;
  }
}

// One small bad rules file per problem, each found at its line and in its
// section, and nothing else found.
TEST(RulesCheckTest, FindsEachProblemAtItsLine) {
  constexpr PathStyle kPosix = PathStyle::kPosix;
  constexpr PathStyle kWindows = PathStyle::kWindows;
  std::string seventeen = "command1=sort filein";
  for (int i = 1; i < 17; ++i) seventeen += " | tr a b";
  seventeen += " > fileout\nfileout1=x\n";
  const Case cases[] = {
      // Programs.
      {"a bare name found nowhere", kPosix, Txt("command1=pdftotext filein fileout\nfileout1=x\n"),
       {{2, "txt", "command1: there is no program pdftotext, neither in the plug-in's folder "
                   "(/plug/) nor in its recipes/ nor on PATH (/usr/bin:/bin)"}}},
      {"an absolute path to nothing", kPosix,
       Txt("command1=/usr/bin/mutool filein fileout\nfileout1=x\n"),
       {{2, "txt", "command1: there is no program /usr/bin/mutool"}}},
      {"a file that may not be executed", kPosix,
       Txt("command1=/opt/tools/readme filein fileout\nfileout1=x\n"),
       {{2, "txt", "/opt/tools/readme is not executable"}}},
      {"a relative path goes below the plug-in's folder", kPosix,
       Txt("command1=bin/conv filein fileout\nfileout1=x\n"),
       {{2, "txt", "there is no program /plug/bin/conv"}}},
      {"an unset variable in front", kPosix,
       Txt("command1=%NOTSET%/conv filein fileout\nfileout1=x\n"),
       {{2, "txt", "the environment variable NOTSET is not set here, so %NOTSET%/conv names "
                   "no program"}}},
      {"[quendrix_path] is the plug-in's folder", kPosix,
       Txt("command1=[quendrix_path]gone filein fileout\nfileout1=x\n"),
       {{2, "txt", "there is no program /plug/gone"}}},
      {"the second program of a pipeline", kPosix,
       Txt("command1=sort filein | nosuch > fileout\nfileout1=x\n"),
       {{2, "txt", "there is no program nosuch"}}},
      {"a bare name on Windows", kWindows, Txt("command1=conv.exe \"filein\" \"fileout\"\nfileout1=x\n"),
       {{2, "txt", "there is no program conv.exe, neither in the plug-in's folder (C:\\plug\\) "
                   "nor in its recipes\\ nor on the system's search path"}}},
      // Where the member goes.
      {"fileout never named", kPosix, Txt("command1=sort filein\nfileout1=x\n"),
       {{2, "txt", "command1: the command never names fileout"}}},
      {"> into another file", kPosix, Txt("command1=sort filein > out.txt\nfileout1=x\n"),
       {{2, "txt", "> writes into out.txt, not into the member's file"},
        {2, "txt", "never names fileout"}}},
      {"> into a longer name", kPosix, Txt("command1=sort filein > fileout.tmp\nfileout1=x\n"),
       {{2, "txt", "> writes into fileout.tmp"}}},
      // Placeholders.
      {"fileOut", kPosix, Txt("command1=sort -o fileOut filein\nfileout1=x\n"),
       {{2, "txt", "fileOut is not the placeholder fileout: placeholders are matched with their "
                   "case"},
        {2, "txt", "never names fileout"}}},
      {"FileIn", kPosix, Txt("command1=sort -o fileout FileIn\nfileout1=x\n"),
       {{2, "txt", "FileIn is not the placeholder filein"}}},
      {"fielin", kPosix, Txt("command1=sort -o fileout fielin\nfileout1=x\n"),
       {{2, "txt", "fielin looks like the placeholder filein misspelt"}}},
      {"fileot", kWindows,
       Txt("command1=C:\\tools\\conv.exe \"filein\" \"fileot\" \"fileout\"\nfileout1=x\n"),
       {{2, "txt", "fileot looks like the placeholder fileout misspelt"}}},
      {"[n] in a command", kPosix, Txt("command1=sort -o fileout filein [n]\nfileout1=x\n"),
       {{2, "txt", "[n] is not the placeholder [N]"}}},
      {"[e] in a member name", kPosix, Txt("command1=sort -o fileout filein\nfileout1=[N].[e]\n"),
       {{3, "txt", "fileout1: [e] is not the placeholder [E]"}}},
      {"[Quendrix_Path]", kPosix,
       Txt("command1=/bin/sh [Quendrix_Path]x.sh filein fileout\nfileout1=x\n"),
       {{2, "txt", "[Quendrix_Path] is not the placeholder [quendrix_path]"}}},
      {"[quendrix-path]", kPosix,
       Txt("command1=/bin/sh [quendrix-path]x.sh filein fileout\nfileout1=x\n"),
       {{2, "txt", "[quendrix-path] looks like the placeholder [quendrix_path] misspelt"}}},
      // Syntax of the Linux build.
      {"an unclosed quote", kPosix, Txt("command1=sort -o fileout 'filein\nfileout1=x\n"),
       {{2, "txt", "a ' (single quote) is never closed"}}},
      {"> without a file", kPosix, Txt("command1=sort -o fileout filein >\nfileout1=x\n"),
       {{2, "txt", "command1: > has no file after it"}}},
      {"| |", kPosix, Txt("command1=sort filein | | tr a b > fileout\nfileout1=x\n"),
       {{2, "txt", "| has no program before it"}}},
      {">>", kPosix, Txt("command1=sort filein >> fileout\nfileout1=x\n"),
       {{2, "txt", ">> is not supported"}}},
      {"2>", kPosix, Txt("command1=sort filein 2> fileout\nfileout1=x\n"),
       {{2, "txt", "2> is not supported"}}},
      {"seventeen programs", kPosix, Txt(seventeen),
       {{2, "txt", "a pipeline may join at most 16 programs"}}},
      {"an empty command", kPosix, Txt("command1=\nfileout1=x\n"),
       {{2, "txt", "command1: the command is empty"}}},
      {"quotation marks the reader removes", kWindows,
       Txt("command1=\"C:\\tools\\conv.exe\" \"filein\" \"fileout\"\nfileout1=x\n"),
       {{2, "txt", "wrap the whole value in one more pair of quotation marks"}}},
      // Numbering.
      {"a gap", kPosix,
       Txt(std::string(kGoodPair) + "command3=sort -o fileout filein\nfileout3=y\n"),
       {{4, "txt", "command3 never lists: the numbering stops at 2 (there is no command2 or "
                   "fileout2)"},
        {5, "txt", "fileout3 never lists"}}},
      {"fileout2 without command2", kPosix, Txt(std::string(kGoodPair) + "fileout2=y\n"),
       {{4, "txt", "fileout2 has no command2: the list ends after member 1"}}},
      {"command2 without fileout2", kPosix,
       Txt(std::string(kGoodPair) + "command2=sort -o fileout filein\n"),
       {{4, "txt", "command2 has no fileout2: the list ends after member 1"}}},
      {"a leading zero", kPosix, Txt(std::string(kGoodPair) + "command02=x\n"),
       {{4, "txt", "command02 is never read: member numbers are written without leading zeros "
                   "(command2)"}}},
      {"no command1", kPosix, Txt("command2=sort -o fileout filein\nfileout2=y\n"),
       {{1, "txt", "there is no command1, so the plug-in refuses files of this kind"},
        {2, "txt", "command2 never lists"},
        {3, "txt", "fileout2 never lists"}}},
      // Synonyms.
      {"a synonym to no section", kPosix, "[doc]\nsynonym=pdf\n" + Txt(kGoodPair),
       {{2, "doc", "synonym names [pdf], but there is no section [pdf]"}}},
      {"a synonym to a synonym", kPosix,
       "[a]\nsynonym=b\n[b]\nsynonym=txt\n" + Txt(kGoodPair),
       {{2, "a", "synonym names [b], which has a synonym of its own (to [txt])"}}},
      {"a synonym in a section another synonym names", kPosix,
       "[doc]\nsynonym=txt\n[txt]\nsynonym=other\n" + std::string(kGoodPair),
       {{2, "doc", "synonym names [txt], which has a synonym of its own (to [other])"},
        {4, "txt", "synonym names [other], but there is no section [other]"}}},
      {"keys beside a synonym", kPosix, "[doc]\nsynonym=txt\nlog=1\n" + Txt(kGoodPair),
       {{3, "doc", "log is never read: [doc] takes every key from [txt] (synonym)"}}},
      // Repeated sections and keys.
      {"a section written twice", kPosix, Txt(kGoodPair) + "[TXT]\ncommand2=x\n",
       {{4, "TXT", "[TXT] is written a second time, and every key under this header is "
                   "ignored: only the first section of a name is read, the one at line 1"}}},
      {"a key written twice", kPosix, Txt(std::string(kGoodPair) + "Command1=other\n"),
       {{4, "txt", "Command1 is written a second time in this section, and this line is "
                   "ignored: the first key of a name is read, the one at line 2"}}},
      // Member names.
      {"a control character in a name", kPosix, Txt("command1=sort -o fileout filein\nfileout1=a\tb\n"),
       {{3, "txt", "fileout1: the name holds a control character (\\t)"}}},
      {"a C1 control character in a name", kPosix,
       Txt("command1=sort -o fileout filein\nfileout1=a\xC2\x85" "b\n"),
       {{3, "txt", "fileout1: the name holds a control character (U+0085)"}}},
      {"a character Windows names cannot hold", kWindows,
       Txt("command1=C:\\tools\\conv.exe \"filein\" \"fileout\"\nfileout1=a:b\n"),
       {{3, "txt", "the name holds :, which no Windows file name may hold"}}},
      {"an empty name", kPosix, Txt("command1=sort -o fileout filein\nfileout1=\n"),
       {{3, "txt", "fileout1: the member has no name"}}},
      // Lines, keys and names that no lookup reads.
      {"a misspelt key", kPosix, Txt(std::string(kGoodPair) + "comand2=x\n"),
       {{4, "txt", "comand2 is not a key quendrix reads (command2?)"}}},
      {"a line without =", kPosix, Txt(std::string(kGoodPair) + "ShowConsole 1\n"),
       {{4, "txt", "ShowConsole 1 has no =, so it is neither a key nor a section header"}}},
      {"a section named with its dot", kPosix, "[.txt]\n" + std::string(kGoodPair),
       {{1, ".txt", "[.txt] is never used: a section is named by the last extension alone, "
                    "without its dot ([txt])"}}},
      {"a section name longer than an extension is kept", kPosix,
       "[" + std::string(30, 'x') + "]\n" + std::string(kGoodPair),
       {{1, std::string(30, 'x'), "is never used: extensions are cut to 29 characters"}}},
      {"a setting neither on nor off", kPosix, Txt(std::string(kGoodPair) + "log=yes\n"),
       {{4, "txt", "log=yes counts as off"}}},
      // Listed members.
      {"a list without extract", kPosix, Txt("list=sort filein\n"),
       {{2, "txt", "list= has no extract=, so the members it lists are shown but cannot be made"}}},
      {"an extract without list", kPosix, Txt(std::string(kGoodPair) + "extract=sort [M] > fileout\n"),
       {{4, "txt", "extract= is never used"}}},
      {"a list that redirects its output", kPosix,
       Txt("list=sort filein > names\nextract=sort [M] > fileout\n"),
       {{2, "txt", "list: a list program's output is read by the plug-in"}}},
      {"a list that names fileout", kPosix,
       Txt("list=sort filein fileout\nextract=sort [M] > fileout\n"),
       {{2, "txt", "list: a list command writes no member, so fileout means nothing"}}},
      {"an extract that never names the member", kPosix,
       Txt("list=sort filein\nextract=sort filein > fileout\n"),
       {{3, "txt", "extract: the command never names [M]"}}},
      {"an extract that writes no member", kPosix, Txt("list=sort filein\nextract=sort [M]\n"),
       {{3, "txt", "extract: the command never names fileout"}}},
      {"a list program found nowhere", kPosix,
       Txt("list=unzip -Z1 filein\nextract=sort [M] > fileout\n"),
       {{2, "txt", "list: there is no program unzip"}}},
      {"a time limit that is no number", kPosix,
       Txt("list=sort filein\nextract=sort [M] > fileout\nListTimeout=soon\n"),
       {{4, "txt", "ListTimeout=soon counts as 30: it takes whole seconds from 1 to 3600"}}},
      {"a member name that leads out of its folder", kPosix,
       Txt("command1=sort -o fileout filein\nfileout1=../up\n"),
       {{3, "txt", "fileout1: the name has an empty, . or .. folder part"}}},
      {"a member name with a leading separator", kPosix,
       Txt("command1=sort -o fileout filein\nfileout1=/abs\n"),
       {{3, "txt", "fileout1: the name starts with a folder separator"}}},
      {"a missing program of a section that names its package", kPosix,
       Txt("command1=pdftotext filein - > fileout\nfileout1=x\nPackage=poppler-utils\n"),
       {{2, "txt", "(it comes with the package poppler-utils)"}}},
      {"a cache setting neither on nor off", kPosix, Txt(std::string(kGoodPair) + "Cache=yes\n"),
       {{4, "txt", "Cache=yes counts as off"}}},
      {"a misspelt list key", kPosix, Txt(std::string(kGoodPair) + "lsit=sort filein\n"),
       {{4, "txt", "lsit is not a key quendrix reads (list?)"}}},
  };
  for (const Case& c : cases) ExpectProblems(c);
}

// What is not a problem must not be reported: each of these files is clean.
TEST(RulesCheckTest, SoundRulesHaveNoProblem) {
  const Case cases[] = {
      {"the sample's kind of rules", PathStyle::kPosix,
       "; comment\n"
       "[txt]\n"
       "command1=/usr/bin/sort -o fileout filein\n"
       "fileout1=[N].sorted.txt\n"
       "command2=/bin/sh -c 'sha256sum -- \"$1\" > \"$2\"' sh filein fileout\n"
       "fileout2=[N].[E].sha256\n"
       "command3=sort filein | tr a-z A-Z > fileout\n"
       "fileout3=[N].upper\n"
       "command4=tr a b < filein > 'fileout'\n"
       "fileout4=sub/dir\\[N]\n"
       "command5=conv --profileinfo fileinfo fileouts filein fileout\n"
       "fileout5=[N] [x] [a-z].txt\n"
       "command6=%TOOLS%/conv \"filein\" fileout\n"
       "fileout6=a:b?.txt\n"
       "command7=[quendrix_path]conv %FileIn% filein fileout\n"
       "fileout7=seven\n"
       "log=1\nShortFileName=0\nShowConsole=0\nIgnoreExitCode=10\n"
       "#command8=off\n"
       "[text]\nsynonym=txt\n"
       "[TGZ]\nsynonym=tar.gz\n"
       "[tar.gz]\ncommand1=sort -o fileout filein\nfileout1=x\n"
       "[self]\nsynonym=SELF\ncommand1=sort -o fileout filein\nfileout1=x\n"
       "[zip]\nlist=sort filein | tr a b\nextract=sort -- [M] > fileout\nListTimeout=60\n"
       "[both]\ncommand1=sort -o fileout filein\nfileout1=x\nlist=sort filein\n"
       "extract=tr a b < [M] > fileout\n",
       {}},
      {"Windows command lines go to the program as they are", PathStyle::kWindows,
       "[txt]\n"
       "command1=%SystemRoot%\\system32\\cmd.exe /c type \"filein\" > \"fileout\" | more '\n"
       "fileout1=[N].txt\n"
       "command2=cmd /c copy \"filein\" \"fileout\"\n"
       "fileout2=sub\\dir/[N]\n"
       "command3=\"\"C:\\tools\\conv.exe\" \"filein\" \"fileout\"\"\n"
       "fileout3=three\n"
       "command4=local filein fileout\n"
       "fileout4=four\n"
       "command5=\"local.exe\" \"filein\" fileout\n"
       "fileout5=five\n",
       {}},
  };
  for (const Case& c : cases) ExpectProblems(c);
}

TEST(RulesCheckTest, CountsTheSectionsAndMembersALookupReads) {
  FakeSystem system = Posix();
  const RulesCheck check = CheckRules(
      "k=v\n[txt]\n" + std::string(kGoodPair) + "command2=sort -o fileout filein\nfileout2=y\n"
      "[text]\nsynonym=txt\n[TXT]\ncommand3=x\n[gz]\n" + std::string(kGoodPair),
      system.Services());
  // The keys before the first header serve files without an extension.
  EXPECT_EQ(check.sections, 4u);
  EXPECT_EQ(check.members, 3u);
}

// A rules file names the same programs again and again; the system is asked
// once per name and path.
TEST(RulesCheckTest, AsksTheSystemOncePerProgram) {
  FakeSystem system = Posix();
  std::string rules;
  for (int s = 0; s < 100; ++s) {
    rules += "[s" + std::to_string(s) + "]\n" +
             "command1=sort filein | tr a b | /usr/bin/tr b c > fileout\nfileout1=x\n";
  }
  const RulesCheck check = CheckRules(rules, system.Services());
  EXPECT_TRUE(check.problems.empty());
  // sort and tr: the plug-in's folder, its recipes folder and PATH each;
  // /usr/bin/tr itself.
  EXPECT_EQ(system.questions, 7);
}

// Positions and sections are those of the file, whatever else it holds.
TEST(RulesCheckTest, ProblemsOfASectionAreFoundByItsName) {
  FakeSystem system = Posix();
  const RulesCheck check =
      CheckRules("[doc]\nsynonym=pdf\n" + Txt("command1=sort filein\nfileout1=x\n"),
                 system.Services());
  ASSERT_EQ(check.problems.size(), 2u);
  EXPECT_TRUE(ProblemOfSection(check.problems[0], "DOC"));
  EXPECT_FALSE(ProblemOfSection(check.problems[0], "txt"));
  EXPECT_TRUE(ProblemOfSection(check.problems[1], " txt "));
}

// Any bytes give a defined answer: problems at lines of the file, in order.
TEST(RulesCheckTest, ArbitraryBytesGiveProblemsAtLinesOfTheFile) {
  std::mt19937 random(20261211);
  const std::string alphabet =
      "[]=;\"' \t\r\n\0<>|%\\/commandfileoutinsynonym123NE_quendrix_path"s;
  for (const PathStyle style : {PathStyle::kPosix, PathStyle::kWindows}) {
    FakeSystem system = style == PathStyle::kPosix ? Posix() : Windows();
    for (int round = 0; round < 300; ++round) {
      std::string bytes(random() % 600, '\0');
      for (char& c : bytes) {
        c = (random() % 4 != 0) ? alphabet[random() % alphabet.size()]
                                : static_cast<char>(random() % 256);
      }
      const RulesCheck check = CheckRules(bytes, system.Services());
      const std::size_t lines = 1 + static_cast<std::size_t>(
                                        std::count(bytes.begin(), bytes.end(), '\n') +
                                        std::count(bytes.begin(), bytes.end(), '\r'));
      std::size_t previous = 0;
      for (const RuleProblem& problem : check.problems) {
        EXPECT_GE(problem.line, previous);
        EXPECT_LE(problem.line, lines);
        EXPECT_FALSE(problem.text.empty());
        previous = problem.line;
      }
    }
  }
}

TEST(PlaceholderSlipsTest, FindsPlaceholdersInAnotherCaseOrOneSlipAway) {
  struct Case {
    std::string_view command;
    std::vector<std::string_view> slipsOf;  // the words reported, in order
  };
  const Case cases[] = {
      {"conv FILEIN fileOut", {"FILEIN", "fileOut"}},
      {"conv filin flein fileni fileinn xfilein", {"filin", "flein", "fileni"}},
      {"conv fielout fileoutt fileou fileOUT", {"fielout", "fileou", "fileOUT"}},
      {"conv [n] [e] [N] [E] [QUENDRIX_PATH] [quendrix_pth] [quendrixpath]",
       {"[n]", "[e]", "[QUENDRIX_PATH]", "[quendrix_pth]", "[quendrixpath]"}},
      {"conv fileOut fileOut", {"fileOut"}},
      // Not slips: placeholders inside longer words, words further away,
      // variables, brackets that hold something else.
      {"profileinfo fileinput fileouts refilein2 files file filename %FileIn% %fielin%",
       {}},
      {"tr '[a-z]' '[A-Z]' [x] [] [ n ] [nn] [quendrix_path]", {}},
  };
  for (const Case& c : cases) {
    const std::vector<std::string> slips = FindCommandPlaceholderSlips(c.command);
    ASSERT_EQ(slips.size(), c.slipsOf.size()) << c.command << "\n"
                                              << ::testing::PrintToString(slips);
    for (std::size_t i = 0; i < slips.size(); ++i) {
      EXPECT_TRUE(slips[i].starts_with(std::string(c.slipsOf[i]) + " "))
          << c.command << ": " << slips[i];
    }
  }
  // In a member name only [N] and [E] are placeholders.
  EXPECT_EQ(FindNamePlaceholderSlips("fileIn [n].[E] [quendrix_pth]").size(), 1u);
}

TEST(NearWordsTest, OneEditIsOneChangeAdditionOmissionOrSwap) {
  struct Case {
    std::string_view a;
    std::string_view b;
    bool near;
  };
  const Case cases[] = {
      {"filein", "filein", false}, {"filein", "fielin", true}, {"filein", "filien", true},
      {"filein", "fileni", true},  {"filein", "filen", true},  {"filein", "xfilein", true},
      {"filein", "filexn", true},  {"filein", "flien", false}, {"filein", "fileout", false},
      {"", "a", true},             {"ab", "ba", true},         {"abc", "cba", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(OneEditApart(c.a, c.b), c.near) << c.a << " " << c.b;
    EXPECT_EQ(OneEditApart(c.b, c.a), c.near) << c.b << " " << c.a;
  }
}

TEST(NumberingProblemsTest, PointsOutKeysThatNeverList) {
  using Keys = std::vector<std::string_view>;
  struct Case {
    Keys keys;
    std::int32_t members;
    std::vector<std::pair<std::string, std::string>> problems;  // key, text
  };
  const Case cases[] = {
      {{"command1", "fileout1", "log"}, 1, {}},
      {{"Command1", "FILEOUT1", "command2"},
       1,
       {{"command2", "command2 has no fileout2: the list ends after member 1"}}},
      {{"command1", "fileout1", "fileout2"},
       1,
       {{"fileout2", "fileout2 has no command2: the list ends after member 1"}}},
      {{"command1", "fileout1", "command3", "fileout3", "command2"},
       1,
       {{"command3", "command3 never lists: the numbering stops at 2 (there is no fileout2)"},
        {"fileout3", "fileout3 never lists: the numbering stops at 2 (there is no fileout2)"},
        {"command2", "command2 has no fileout2: the list ends after member 1"}}},
      {{"command2", "fileout2"},
       0,
       {{"", "there is no command1, so the plug-in refuses files of this kind"},
        {"command2", "command2 never lists: the numbering stops at 1 (there is no command1 "
                     "or fileout1)"},
        {"fileout2", "fileout2 never lists: the numbering stops at 1 (there is no command1 "
                     "or fileout1)"}}},
      {{"command1", "fileout1", "command01", "fileout99999", "command0", "commandx"},
       1,
       {{"command01", "command01 is never read: member numbers are written without leading "
                      "zeros (command1)"},
        {"fileout99999", "fileout99999 is never read: member numbers go up to 32767"},
        {"command0", "command0 is never read: member numbers start at 1"}}},
  };
  for (const Case& c : cases) {
    const std::vector<KeyProblem> problems = FindNumberingProblems(c.keys, c.members);
    ASSERT_EQ(problems.size(), c.problems.size()) << ::testing::PrintToString(c.keys);
    for (std::size_t i = 0; i < problems.size(); ++i) {
      EXPECT_EQ(problems[i].key, c.problems[i].first);
      EXPECT_EQ(problems[i].text, c.problems[i].second);
    }
  }
}

// The reader removes one enclosing pair of quotation marks; a command
// whose program path and last argument are both quoted loses exactly those.
TEST(LosesItsQuotesTest, FindsCommandsCutByTheRemovalOfTheEnclosingPair) {
  struct Case {
    std::string_view raw;
    bool loses;
  };
  const Case cases[] = {
      {R"("C:\windows\system32\cmd.exe" /c echo hi > "fileout")", true},
      {R"("/opt/my app/conv" filein "fileout")", true},
      {R"("C:\conv.exe" "fileout")", true},
      {R"(""C:\conv.exe" "fileout"")", false},  // wrapped once more
      {R"(C:\conv.exe "filein" "fileout")", false},
      {R"("C:\Program Files\conv.exe")", false},  // nothing else is quoted
      {R"("conv /c "a b"")", false},  // the inner pair opens at a word
      {R"(")", false},
      {"", false},
  };
  for (const Case& c : cases) EXPECT_EQ(LosesItsQuotes(c.raw), c.loses) << c.raw;
}

}  // namespace
}  // namespace quendrix
