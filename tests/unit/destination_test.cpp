#include "extract/destination.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace quendrix {
namespace {

using platform::PathStyle;

struct DestinationCase {
  PathStyle style;
  bool shortFileName;
  const char* destName;
  const char* expected;
};

// Short forms that a volume knows; every other path has none.
std::string KnownShortDirectory(std::string_view path) {
  static const std::map<std::string, std::string, std::less<>> known = {
      {R"(C:\Long Directory\)", R"(C:\LONGDI~1\)"},
      {R"(C:\Long Directory\report\)", R"(C:\LONGDI~1\report\)"},
      {"/srv/long dir/", "/srv/long dir/"}};
  const auto it = known.find(path);
  return it == known.end() ? std::string() : it->second;
}

class BuildDestinationTest : public ::testing::TestWithParam<DestinationCase> {};

TEST_P(BuildDestinationTest, ShortensOnlyTheDirectoryPart) {
  const DestinationCase& c = GetParam();
  EXPECT_EQ(BuildDestination(c.destName, c.shortFileName, c.style, KnownShortDirectory),
            c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, BuildDestinationTest,
    ::testing::Values(
        DestinationCase{PathStyle::kWindows, false, R"(C:\Long Directory\out file.txt)",
                        R"(C:\Long Directory\out file.txt)"},
        DestinationCase{PathStyle::kWindows, true, R"(C:\Long Directory\out file.txt)",
                        R"(C:\LONGDI~1\out file.txt)"},
        // A name equal to a parent directory's name is still only the name.
        DestinationCase{PathStyle::kWindows, true, R"(C:\Long Directory\report\report)",
                        R"(C:\LONGDI~1\report\report)"},
        DestinationCase{PathStyle::kWindows, true, "bare name.txt", "bare name.txt"},
        // Without a short form the directory stays whole, never dropped.
        DestinationCase{PathStyle::kWindows, true, R"(D:\missing dir\x.txt)",
                        R"(D:\missing dir\x.txt)"},
        DestinationCase{PathStyle::kWindows, true, R"(C:\Long Directory\)", R"(C:\LONGDI~1\)"},
        DestinationCase{PathStyle::kWindows, true, "", ""},
        DestinationCase{PathStyle::kPosix, true, "/srv/long dir/a b", "/srv/long dir/a b"},
        DestinationCase{PathStyle::kPosix, true, "/nowhere/x", "/nowhere/x"},
        DestinationCase{PathStyle::kPosix, false, R"(/srv/a\b)", R"(/srv/a\b)"}));

TEST(BuildDestinationLimitTest, ShortFormWorksOnTheFirst4095Characters) {
  const std::string longName = std::string(R"(C:\Long Directory\)") + std::string(5000, 'n');
  const std::string built = BuildDestination(longName, true, PathStyle::kWindows, KnownShortDirectory);
  EXPECT_EQ(built, std::string(R"(C:\LONGDI~1\)") + std::string(4095 - 18, 'n'));
}

}  // namespace
}  // namespace quendrix
