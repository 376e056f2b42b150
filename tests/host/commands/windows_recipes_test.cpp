// The Windows recipes (examples/windows/quendrix.ini), read by the Windows
// build's own check: every problem it finds may only be a program that this
// system lacks. On Windows 10 and 11 that leaves none; Wine has no tar.exe
// and no sort.exe, so there check names those two, and nothing else: a
// misspelt placeholder, a command that never names fileout or a gap in the
// numbering fails here whatever the system.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>
#include <string>

#include "host/host_fixture.h"

namespace quendrix::testing {
namespace {

namespace fs = std::filesystem;

TEST_F(HostTest, WindowsRecipesHaveNoProblemButAProgramThisSystemLacks) {
  // The build puts a copy of the recipes beside the test programs.
  const std::string recipes = platform::ExecutableDirectory() + "windows_recipes.ini";
  ASSERT_TRUE(fs::exists(PathOfUtf8(recipes))) << recipes;
  const HostRun run = Run({"check", recipes});
  EXPECT_EQ(run.err, "");

  const std::regex missingProgram(R"(^.*:\d+: \[\w+\] \w+: there is no program (.+\.exe)$)");
  const std::regex counts(R"(^.*: \d+ sections, \d+ members, (no|\d+) problems?$)");
  std::istringstream lines(run.out);
  std::string line;
  int problems = 0;
  bool counted = false;
  for (std::smatch match; std::getline(lines, line);) {
    if (std::regex_match(line, match, missingProgram)) {
      ++problems;
      EXPECT_FALSE(fs::exists(PathOfUtf8(match[1].str()))) << "check says it is missing: " << line;
    } else if (std::regex_match(line, match, counts)) {
      counted = true;
      EXPECT_EQ(match[1].str(), problems == 0 ? "no" : std::to_string(problems)) << line;
    } else {
      ADD_FAILURE() << "a problem of the recipes themselves: " << line;
    }
  }
  EXPECT_TRUE(counted) << run.out;
  EXPECT_EQ(run.code, problems == 0 ? 0 : 1) << run.out;
}

}  // namespace
}  // namespace quendrix::testing
