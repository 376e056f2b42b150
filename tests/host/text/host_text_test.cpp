// The host's pure pieces: member patterns, destination paths below the
// chosen directory, JSON text, the marked command line of explain, and the
// rules that can never list.
#include <gtest/gtest.h>

#include "commands/explain_command.h"
#include "text/json_text.h"
#include "client/member_failure.h"
#include "members/member_path.h"
#include "members/member_pattern.h"
#include "commands/rule_problems.h"

namespace quendrix::host {
namespace {

using platform::PathStyle;

TEST(MemberPatternTest, MatchesAsAShellDoes) {
  struct Case {
    std::string_view pattern;
    std::string_view name;
    bool posix;
    bool windows;
  };
  const Case cases[] = {
      {"*", "", true, true},
      {"*", "dir/file.txt", true, true},  // "*" crosses separators
      {"*.txt", "a.txt", true, true},
      {"*.txt", "a.txt.gz", false, false},
      {"a?c", "abc", true, true},
      {"a?c", "ac", false, false},
      {"[ab]x", "bx", true, true},
      {"[a-c]x", "cx", true, true},
      {"[!a-c]x", "cx", false, false},
      {"[^a-c]x", "dx", true, true},
      {"[]]", "]", true, true},          // "]" first is a member
      {"[a", "[a", true, true},          // unclosed: an ordinary "["
      {"*a*b*c*", "xaybzc", true, true},
      {"*a*b*c*", "xaybz", false, false},
      {"\\*", "*", true, false},         // POSIX: escaped star
      {"\\*", "\\x", false, true},       // Windows: "\" is a character
      {"dir\\*", "dir\\file", false, true},
      {"", "a", false, false},
      {"A.txt", "a.txt", false, false},  // case counts
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MatchesPattern(c.pattern, c.name, PathStyle::kPosix), c.posix)
        << c.pattern << " " << c.name;
    EXPECT_EQ(MatchesPattern(c.pattern, c.name, PathStyle::kWindows), c.windows)
        << c.pattern << " " << c.name;
  }
}

TEST(MemberPatternTest, ManyStarsOnALongNameStayCheap) {
  const std::string name(100000, 'a');
  const std::string pattern = std::string(50, '*') + "b";
  EXPECT_FALSE(MatchesPattern(pattern, name, PathStyle::kPosix));
}

TEST(MemberPathTest, KeepsMembersInsideTheDestination) {
  struct Case {
    std::string_view name;
    std::optional<std::string> posix;
    std::optional<std::string> windows;
  };
  const Case cases[] = {
      {"a.txt", "a.txt", "a.txt"},
      {"dir/a.txt", "dir/a.txt", "dir\\a.txt"},
      {"dir\\a.txt", "dir\\a.txt", "dir\\a.txt"},  // one name on POSIX
      {"./a//b", "a/b", "a\\b"},
      {"", std::nullopt, std::nullopt},
      {"/etc/passwd", std::nullopt, std::nullopt},
      {"\\evil", "\\evil", std::nullopt},
      {"../up", std::nullopt, std::nullopt},
      {"a/../../up", std::nullopt, std::nullopt},
      {"..\\up", "..\\up", std::nullopt},
      {"C:x", "C:x", std::nullopt},
      {"a.txt:stream", "a.txt:stream", std::nullopt},
      {"dir/", std::nullopt, std::nullopt},
      {".", std::nullopt, std::nullopt},
      {"...", "...", "..."},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RelativeMemberPath(c.name, PathStyle::kPosix), c.posix) << c.name;
    EXPECT_EQ(RelativeMemberPath(c.name, PathStyle::kWindows), c.windows) << c.name;
  }
}

TEST(JsonStringTest, AlwaysGivesValidJson) {
  struct Case {
    std::string_view text;
    std::string_view json;
  };
  const Case cases[] = {
      {"plain.txt", "\"plain.txt\""},
      {"say \"hi\"\\", "\"say \\\"hi\\\"\\\\\""},
      {"a\nb\tc\r\x01\x7f", "\"a\\nb\\tc\\r\\u0001\\u007f\""},
      {"caf\xC3\xA9", "\"caf\xC3\xA9\""},                 // UTF-8 kept
      {"caf\xE9", "\"caf\\u00e9\""},                      // a code-page byte
      {"\xC3", "\"\\u00c3\""},                            // cut sequence
      {"\xC0\x80", "\"\\u00c0\\u0080\""},                 // overlong
      {"\xED\xA0\x80", "\"\\u00ed\\u00a0\\u0080\""},      // surrogate
      {"\xF0\x9F\x98\x80", "\"\xF0\x9F\x98\x80\""},
      {std::string_view("a\0b", 3), "\"a\\u0000b\""},
  };
  for (const Case& c : cases) EXPECT_EQ(JsonString(c.text), c.json) << c.text;
}

TEST(MarkDestinationTest, MarksEveryPlaceOfTheDestination) {
  struct Case {
    std::string_view command;
    std::string_view line;
    std::string_view marks;
  };
  const Case cases[] = {
      {"sort -o fileout in", "sort -o fileout in", "        ^^^^^^^"},
      {"cp fileoutfileout x", "cp fileoutfileout x", "   ^^^^^^^^^^^^^^"},
      {"cp in", "cp in", ""},
      {"a\nb fileout", "a\\nb fileout", "     ^^^^^^^"},
      {"\xC3\xA9 fileout", "\xC3\xA9 fileout", "  ^^^^^^^"},
      {"fileou", "fileou", ""},
  };
  for (const Case& c : cases) {
    const MarkedCommand marked = MarkDestination(c.command);
    EXPECT_EQ(marked.line, c.line) << c.command;
    EXPECT_EQ(marked.marks, c.marks) << c.command;
  }
}

TEST(RuleProblemsTest, PointsOutKeysThatNeverList) {
  using Keys = std::vector<std::string_view>;
  struct Case {
    Keys keys;
    std::int32_t members;
    std::vector<std::string> problems;
  };
  const Case cases[] = {
      {{"command1", "fileout1", "log"}, 1, {}},
      {{"Command1", "FILEOUT1", "command2"},
       1,
       {"command2 has no fileout2: the list ends after member 1"}},
      {{"command1", "fileout1", "fileout2"},
       1,
       {"fileout2 has no command2: the list ends after member 1"}},
      {{"command1", "fileout1", "command3", "fileout3"},
       1,
       {"command3, fileout3 never list: the numbering stops at 2"}},
      {{"command2", "fileout2"},
       0,
       {"there is no command1, so the plug-in refuses files of this kind",
        "command2, fileout2 never list: the numbering stops at 1"}},
      {{"command1", "fileout1", "command01", "fileout99999", "commandx"},
       1,
       {"command01, fileout99999 are never read: member numbers are written "
        "without leading zeros and go up to 32767"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FindRuleProblems(c.keys, c.members), c.problems)
        << ::testing::PrintToString(c.keys);
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

TEST(FailureReasonTest, TellsHowTheProgramEndedAndItsLastWords) {
  struct Case {
    int code;
    std::optional<FailureDetails> details;
    std::string_view reason;
  };
  // Twelve lines of a message, of which a report shows the last ten.
  std::string chatty;
  for (int line = 1; line <= 12; ++line) chatty += "line " + std::to_string(line) + "\n";
  std::string shownChatty = "its program ended with exit status 9: line 12";
  for (int line = 3; line <= 12; ++line) shownChatty += "\n    line " + std::to_string(line);
  // A message the plug-in kept the end of: its first line is cut.
  const std::string kept = std::string(platform::kErrorOutputLimit - 12, 'x') + "\nlast words\n";
  const Case cases[] = {
      {19, FailureDetails{1, 0, "input is damaged\n\n", {}},
       "its program ended with exit status 1: input is damaged"},
      {19, FailureDetails{1, 0, "", {}}, "its program ended with exit status 1"},
      {19, FailureDetails{-1, 9, "half\x1b[2Jdone\r\n", {}},
       "its program was ended by signal 9: half [2Jdone"},
      {16, FailureDetails{0, 0, "", {}}, "wrote no file"},
      {16, FailureDetails{1, 0, "nothing to do", {}}, "wrote no file: nothing to do"},
      {16, FailureDetails{-1, 0, "", {}}, "could not be started"},
      // Several lines: the last on the first line, all of them below it.
      {19, FailureDetails{3, 0, "reading\n\ninput is damaged\n", {}},
       "its program ended with exit status 3: input is damaged\n    reading\n    input is damaged"},
      {19, FailureDetails{9, 0, chatty, {}}, shownChatty},
      {19, FailureDetails{2, 0, kept, {}}, "its program ended with exit status 2: last words"},
      // The plug-in's own line takes the place of the one made from the status.
      {16, FailureDetails{-1, 0, "", "/usr/bin/mutool could not be started: No such file or directory"},
       "/usr/bin/mutool could not be started: No such file or directory"},
      {19, FailureDetails{2, 0, "sort: bad\n", "program 2 of 3 of its pipeline, sort, ended with exit status 2"},
       "program 2 of 3 of its pipeline, sort, ended with exit status 2: sort: bad"},
      // A plug-in without quendrix's export: the interface's words.
      {19, std::nullopt, "write error (code 19)"},
      {16, std::nullopt, "cannot create the member (code 16)"},
      {12, FailureDetails{0, 0, "", {}}, "bad data (code 12)"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FailureReasonText(c.code, c.details), c.reason) << c.reason;
  }
}

}  // namespace
}  // namespace quendrix::host
