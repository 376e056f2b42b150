#include "format/shell_words.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quendrix {
namespace {

using Words = std::vector<std::string>;

struct CommandLineCase {
  const char* line;
  Words words;
};

class SplitCommandLineTest : public ::testing::TestWithParam<CommandLineCase> {};

TEST_P(SplitCommandLineTest, SplitsByShellQuotingOnly) {
  EXPECT_EQ(SplitCommandLine(GetParam().line), GetParam().words) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(
    Table, SplitCommandLineTest,
    ::testing::Values(
        CommandLineCase{"", {}},
        CommandLineCase{" \t\n ", {}},
        CommandLineCase{"sort -o out in", {"sort", "-o", "out", "in"}},
        CommandLineCase{"  a\tb\nc  ", {"a", "b", "c"}},
        CommandLineCase{"'a b' \"c d\"", {"a b", "c d"}},
        CommandLineCase{"x'a b'y\"c\"z", {"xa bycz"}},
        CommandLineCase{"'' \"\" a", {"", "", "a"}},
        CommandLineCase{R"('a\b' 'it'\''s')", {R"(a\b)", "it's"}},
        CommandLineCase{R"("\$ \` \" \\ \a \n")", {R"($ ` " \ \a \n)"}},
        CommandLineCase{R"(a\ b \'c \\d)", {"a b", "'c", R"(\d)"}},
        CommandLineCase{"trailing\\", {"trailing\\"}},
        CommandLineCase{"'unclosed single", {"unclosed single"}},
        CommandLineCase{"\"unclosed double", {"unclosed double"}},
        // No expansion and no operators.
        CommandLineCase{"$HOME `id` ~ *.txt > out | cat ; x & y",
                  {"$HOME", "`id`", "~", "*.txt", ">", "out", "|", "cat", ";", "x", "&", "y"}},
        CommandLineCase{"\"$(id)\"", {"$(id)"}}));

TEST(QuoteStateAtTest, TracksQuotesUpToThePosition) {
  const std::string_view line = R"(a 'b' "c\"d" e\'f 'g)";
  struct Case { std::size_t pos; QuoteState state; };
  for (const Case& c : {Case{0, QuoteState::kUnquoted}, Case{3, QuoteState::kSingleQuoted},
                        Case{5, QuoteState::kUnquoted}, Case{7, QuoteState::kDoubleQuoted},
                        Case{10, QuoteState::kDoubleQuoted}, Case{12, QuoteState::kUnquoted},
                        Case{16, QuoteState::kUnquoted}, Case{19, QuoteState::kSingleQuoted},
                        Case{line.size(), QuoteState::kSingleQuoted},
                        Case{1000, QuoteState::kSingleQuoted}}) {
    EXPECT_EQ(QuoteStateAt(line, c.pos), c.state) << c.pos;
  }
}

// A backslash right before the insertion point waits for the inserted text,
// unless it is itself escaped or sits inside single quotes.
TEST(InsertionPointAtTest, ReportsAWaitingBackslash) {
  struct Case { std::string_view line; QuoteState state; bool afterBackslash; };
  for (const Case& c : {Case{R"(a\)", QuoteState::kUnquoted, true},
                        Case{R"(a\\)", QuoteState::kUnquoted, false},
                        Case{R"(a\\\)", QuoteState::kUnquoted, true},
                        Case{R"("a\)", QuoteState::kDoubleQuoted, true},
                        Case{R"("a\\)", QuoteState::kDoubleQuoted, false},
                        Case{R"('a\)", QuoteState::kSingleQuoted, false},
                        Case{"a", QuoteState::kUnquoted, false},
                        Case{"", QuoteState::kUnquoted, false}}) {
    const InsertionPoint point = InsertionPointAt(c.line, c.line.size());
    EXPECT_EQ(point.state, c.state) << c.line;
    EXPECT_EQ(point.afterBackslash, c.afterBackslash) << c.line;
  }
  // Only the character right before the position counts.
  EXPECT_FALSE(InsertionPointAt(R"(a\b)", 3).afterBackslash);
  EXPECT_TRUE(InsertionPointAt(R"(a\b)", 2).afterBackslash);
}

// Whatever the value and wherever it lands, splitting gives it back exactly,
// as one argument, in the word where it stands.
TEST(QuoteForTest, InsertedValuesSplitBackExactly) {
  const std::vector<std::string> values = {
      "plain", "", "with blank", "a\"b", "it's", "$HOME", "`id`", R"(back\slash)",
      "new\nline", "-leading", "tab\there", "'", "\"", "\\", "''", "x'\"$`\\y",
      "caf\xC3\xA9 \xFF\x01", "*.txt", "a;b|c&d>e"};
  const std::vector<std::pair<std::string, std::string>> templates = {
      {"prog ", " end"}, {"prog \"", "\" end"}, {"prog '", "' end"},
      {"prog pre", "post end"}, {"prog \"pre", "post\" end"}, {"prog 'pre", "post' end"}};
  for (const auto& [before, after] : templates) {
    for (const std::string& value : values) {
      const QuoteState state = QuoteStateAt(before, before.size());
      const std::string line = before + QuoteFor(state, value) + after;
      const Words words = SplitCommandLine(line);
      ASSERT_EQ(words.size(), 3u) << line;
      const bool glued = before.back() == 'e';  // "pre" directly before the value
      const std::string expected = glued ? "pre" + value + "post" : value;
      EXPECT_EQ(words[1], expected) << line;
      EXPECT_EQ(words[2], "end") << line;
    }
  }
}

TEST(QuoteForTest, PlainValuesStayReadable) {
  EXPECT_EQ(QuoteFor(QuoteState::kUnquoted, "/home/u/report-1.txt"), "/home/u/report-1.txt");
  EXPECT_EQ(QuoteFor(QuoteState::kUnquoted, "my file"), "'my file'");
  EXPECT_EQ(QuoteFor(QuoteState::kUnquoted, ""), "''");
  EXPECT_EQ(QuoteFor(QuoteState::kUnquoted, "it's"), R"('it'\''s')");
  EXPECT_EQ(QuoteFor(QuoteState::kDoubleQuoted, R"(a"$b)"), R"(a\"\$b)");
  EXPECT_EQ(QuoteFor(QuoteState::kSingleQuoted, "it's"), R"(it'\''s)");
}

}  // namespace
}  // namespace quendrix
