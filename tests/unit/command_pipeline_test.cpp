#include "format/command_pipeline.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "support/case_name.h"

namespace quendrix {
namespace {

using Stages = std::vector<std::vector<std::string>>;

struct PipelineCase {
  const char* label;
  const char* line;
  Stages stages;
  std::optional<std::string> input;
  std::optional<std::string> output;
};

class PipelineTest : public ::testing::TestWithParam<PipelineCase> {};

TEST_P(PipelineTest, ReadsProgramsAndFiles) {
  const PipelineCase& c = GetParam();
  const ParsedCommand parsed = ParseCommandLine(c.line);
  ASSERT_FALSE(parsed.problem) << parsed.problem->text;
  Stages stages;
  for (const PipelineStage& stage : parsed.stages) stages.push_back(stage.arguments);
  EXPECT_EQ(stages, c.stages);
  EXPECT_EQ(parsed.input ? std::optional(parsed.input->path) : std::nullopt, c.input);
  EXPECT_EQ(parsed.output ? std::optional(parsed.output->path) : std::nullopt, c.output);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PipelineTest,
    ::testing::Values(
        PipelineCase{"Empty", "  ", {}, {}, {}},
        PipelineCase{"OneProgram", "sort -o out in", {{"sort", "-o", "out", "in"}}, {}, {}},
        PipelineCase{"Output", "tool in > out", {{"tool", "in"}}, {}, "out"},
        PipelineCase{"OutputGlued", "tool in>out", {{"tool", "in"}}, {}, "out"},
        PipelineCase{"Input", "tool < in", {{"tool"}}, "in", {}},
        PipelineCase{"InputFirst", "< in tool -x > out", {{"tool", "-x"}}, "in", "out"},
        PipelineCase{"Both", "tool < 'in file' > \"out file\"", {{"tool"}}, "in file",
                     "out file"},
        PipelineCase{"TwoStages", "a x | b y > out", {{"a", "x"}, {"b", "y"}}, {}, "out"},
        PipelineCase{"ThreeStages", "a<in|b|c>out", {{"a"}, {"b"}, {"c"}}, "in", "out"},
        PipelineCase{"QuotedOperators", "a '>' \"|\" \\< x\\>y", {{"a", ">", "|", "<", "x>y"}},
                     {}, {}},
        PipelineCase{"OperatorCharactersInsideQuotes", "a 'x > y | z' > \"o|p\"",
                     {{"a", "x > y | z"}}, {}, "o|p"},
        PipelineCase{"DigitsAfterTheProgramAreWords", "a 2 > out", {{"a", "2"}}, {}, "out"},
        PipelineCase{"SixteenStages", "a|a|a|a|a|a|a|a|a|a|a|a|a|a|a|a",
                     Stages(16, std::vector<std::string>{"a"}), {}, {}}),
    testing::CaseName());

struct ProblemCase {
  const char* label;
  const char* line;
  std::size_t position;
  const char* text;  // the start of the problem's text
};

class PipelineProblemTest : public ::testing::TestWithParam<ProblemCase> {};

TEST_P(PipelineProblemTest, IsFoundWhereItIs) {
  const ProblemCase& c = GetParam();
  const ParsedCommand parsed = ParseCommandLine(c.line);
  ASSERT_TRUE(parsed.problem) << c.line;
  EXPECT_EQ(parsed.problem->position, c.position) << parsed.problem->text;
  EXPECT_TRUE(parsed.problem->text.starts_with(c.text)) << parsed.problem->text;
}

INSTANTIATE_TEST_SUITE_P(
    Table, PipelineProblemTest,
    ::testing::Values(
        ProblemCase{"OutputWithoutFile", "tool >", 5, "> has no file after it"},
        ProblemCase{"InputWithoutFile", "tool < | b", 5, "< has no file after it"},
        ProblemCase{"EmptyStage", "a | | b", 4, "| has no program before it"},
        ProblemCase{"LeadingPipe", "| b", 0, "| has no program before it"},
        ProblemCase{"TrailingPipe", "a |", 2, "| has no program after it"},
        ProblemCase{"OnlyARedirection", "> out", 0, "the command names no program"},
        ProblemCase{"Append", "a >> out", 2, ">> is not supported"},
        ProblemCase{"ErrorRedirection", "a 2>/dev/null", 2, "2> is not supported"},
        ProblemCase{"SecondOutput", "a > x > y", 6, "a second >"},
        ProblemCase{"SecondInput", "a < x < y", 6, "a second <"},
        ProblemCase{"InputLater", "a | b < in", 6, "< feeds a file to the first program"},
        ProblemCase{"OutputEarlier", "a > out | b", 2, "> writes the output of the last program"},
        ProblemCase{"SeventeenStages", "a|a|a|a|a|a|a|a|a|a|a|a|a|a|a|a|a", 31,
                    "a pipeline may join at most 16 programs"}),
    testing::CaseName());

TEST(PipelineTest, KeepsWhereEachProgramStands) {
  const std::string line = "  '/opt/my tool' x | \"b\" y";
  const ParsedCommand parsed = ParseCommandLine(line);
  ASSERT_EQ(parsed.stages.size(), 2u);
  EXPECT_EQ(line.substr(parsed.stages[0].programBegin,
                        parsed.stages[0].programEnd - parsed.stages[0].programBegin),
            "'/opt/my tool'");
  EXPECT_EQ(line.substr(parsed.stages[1].programBegin,
                        parsed.stages[1].programEnd - parsed.stages[1].programBegin),
            "\"b\"");
}

TEST(PipelineTest, AnUnclosedQuoteIsAProblem) {
  // The quote runs to the end of the line and takes the > into its word, so
  // the line would run as something else than it reads.
  for (const auto& [line, words, at] :
       {std::tuple{"tool 'a > b", "' (single quote)", 5u},
        std::tuple{"tool a | other \"b > c", "\" (double quote)", 15u}}) {
    const ParsedCommand parsed = ParseCommandLine(line);
    ASSERT_TRUE(parsed.problem) << line;
    EXPECT_EQ(parsed.problem->text,
              std::string("a ") + words + " is never closed, so it runs to the end of the line")
        << line;
    EXPECT_EQ(parsed.problem->position, at) << line;
  }
}

}  // namespace
}  // namespace quendrix
