#include "format/member_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/case_name.h"

namespace quendrix {
namespace {

std::vector<std::string> Names(const MemberListing& listing) {
  std::vector<std::string> names;
  for (const ListedMember& member : listing.members) names.push_back(member.name);
  return names;
}

struct ListCase {
  const char* label;
  std::string output;
  bool windows;
  std::vector<std::string> taken;
  std::size_t skipped;
};

class MemberListTest : public ::testing::TestWithParam<ListCase> {};

TEST_P(MemberListTest, TakesOnlyNamesThatAreSafeEverywhere) {
  const ListCase& c = GetParam();
  const MemberListing listing = ParseMemberList(c.output, false, MemberNameRules{c.windows});
  EXPECT_EQ(Names(listing), c.taken);
  EXPECT_EQ(listing.skipped, c.skipped);
  EXPECT_EQ(listing.skippedNames.size(), c.skipped);
  EXPECT_FALSE(listing.cut);
}

const std::string kLong(260, 'x');

INSTANTIATE_TEST_SUITE_P(
    Table, MemberListTest,
    ::testing::Values(
        ListCase{"Plain", "a.txt\ndocs/sub/note.txt\n", false, {"a.txt", "docs/sub/note.txt"}, 0},
        ListCase{"NoLastLineEnd", "a\nb", false, {"a", "b"}, 0},
        ListCase{"CrLfAndBom", "\xEF\xBB\xBF" "a\r\nb\r\n", false, {"a", "b"}, 0},
        ListCase{"EmptyLinesAndFolderLines", "\ndocs/\ndocs/a\n\n", false, {"docs/a"}, 0},
        ListCase{"BlanksQuotesAndDollars", " a b \n'q' \"q\"\n$HOME\n-x\n", false,
                 {" a b ", "'q' \"q\"", "$HOME", "-x"}, 0},
        ListCase{"Traversal", "../x\na/../b\n./c\n", false, {}, 3},
        ListCase{"Absolute", "/etc/passwd\n", false, {}, 1},
        ListCase{"EmptyPart", "a//b\n", false, {}, 1},
        ListCase{"ControlCharacters", "a\x01z\nb\x7f\n", false, {}, 2},
        ListCase{"InvalidUtf8", "caf\xE9\n\xC0\xAF\ncafé\n", false, {"café"}, 2},
        ListCase{"TooLong", kLong + "\n" + kLong.substr(1) + "\n", false, {kLong.substr(1)}, 1},
        ListCase{"DuplicateKeepsTheFirst", "a\tb\nb\na\n", false, {"a", "b"}, 1},
        ListCase{"FileThenFolder", "a\na/b\n", false, {"a"}, 1},
        ListCase{"FolderThenFile", "a/b\na\n", false, {"a/b"}, 1},
        ListCase{"BackslashOnLinuxIsACharacter", "a\\b\n", false, {"a\\b"}, 0},
        ListCase{"WindowsForbidden", "a\\..\\x\nc:x\nq?\nok\n", true, {"ok"}, 3},
        ListCase{"EmptyNameWithFields", "\t12\n", false, {}, 1},
        // A line of slashes alone names nothing, not even a folder.
        ListCase{"SlashesAlone", "/\n//\n/\t1\nok\n", false, {"ok"}, 3},
        // C1 controls (U+0080 to U+009F) are control characters too: a
        // terminal acts on them as on C0 ones. U+00A0 is a character.
        ListCase{"C1ControlCharacters", "a\xC2\x85z\nb\xC2\x9B\n\xC2\x80\nkeep\xC2\xA0\n", false,
                 {"keep\xC2\xA0"}, 3}),
    testing::CaseName());

TEST(MemberListTest, ReadsSizesAndTimesWhereTheyAreWritten) {
  const MemberListing listing = ParseMemberList(
      "a\t12\t2024-03-15 13:45:59\nb\t7\nc\t\t2001-01-02 03:04:05\nd\tx\t2024-13-01 00:00:00\n",
      false, {});
  ASSERT_EQ(listing.members.size(), 4u);
  EXPECT_EQ(listing.members[0].size, 12);
  ASSERT_TRUE(listing.members[0].time);
  EXPECT_EQ(listing.members[0].time->year, 2024);
  EXPECT_EQ(listing.members[0].time->second, 59);
  EXPECT_EQ(listing.members[1].size, 7);
  EXPECT_FALSE(listing.members[1].time);
  EXPECT_FALSE(listing.members[2].size);
  EXPECT_EQ(listing.members[2].time->day, 2);
  EXPECT_FALSE(listing.members[3].size);
  EXPECT_FALSE(listing.members[3].time);
  EXPECT_EQ(listing.unreadFields, 2u);
  EXPECT_NE(ListingWarning(listing).find("2 sizes or times were not understood"),
            std::string::npos);
}

TEST(MemberListTest, StopsAtItsLimitsAndSaysSo) {
  std::string many;
  for (std::size_t i = 0; i <= kListedMemberLimit; ++i) many += std::to_string(i) + "\n";
  const MemberListing listing = ParseMemberList(many, false, {});
  EXPECT_EQ(listing.members.size(), kListedMemberLimit);
  EXPECT_TRUE(listing.cut);
  EXPECT_NE(ListingWarning(listing).find("the list was cut after 100000 names"),
            std::string::npos);

  // An output the host stopped reading: its last, unfinished line goes.
  const MemberListing cut = ParseMemberList("a\nb\nunfinish", true, {});
  EXPECT_EQ(Names(cut), (std::vector<std::string>{"a", "b"}));
  EXPECT_TRUE(cut.cut);
}

TEST(MemberListTest, WarningNamesTheFirstSkippedLineAndWhy) {
  const MemberListing listing = ParseMemberList("ok\n../x\n/abs\n", false, {});
  EXPECT_EQ(ListingWarning(listing),
            "2 listed names were skipped (the first, on line 2, because it has a . or .. part)");
  EXPECT_EQ(ListingWarning(ParseMemberList("ok\n", false, {})), "");
}

}  // namespace
}  // namespace quendrix
