#include "format/section_listing.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "support/case_name.h"

namespace quendrix {
namespace {

using namespace std::string_literals;

// The listings here are shaped as GetPrivateProfileSectionA writes them; the
// plug-in tests compare the Windows reader built on them with the system's
// per-key answers.
struct ListingCase {
  const char* label;
  std::string listing;
  std::string name;
  std::optional<std::string> value;  // nothing: listed without "="
  bool found = true;
};

class SectionListingTest : public ::testing::TestWithParam<ListingCase> {};

TEST_P(SectionListingTest, FindsTheFirstKeyOfAName) {
  const ListingCase& c = GetParam();
  const SectionListing listing(c.listing);
  const KeyIndex::Key* key = listing.Find(c.name);
  ASSERT_EQ(key != nullptr, c.found);
  if (key == nullptr) return;
  ASSERT_EQ(key->value.has_value(), c.value.has_value());
  if (c.value) {
    EXPECT_EQ(*key->value, *c.value);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, SectionListingTest,
    ::testing::Values(
        ListingCase{"plain", "a=1\0b=2\0"s, "b", "2"},
        ListingCase{"case", "Key=1\0"s, "kEY", "1"},
        ListingCase{"first of a name wins", "k=1\0K=2\0"s, "k", "1"},
        ListingCase{"second equals in value", "k=a=b\0"s, "k", "a=b"},
        ListingCase{"empty value", "k=\0"s, "k", ""},
        ListingCase{"empty name", "=v\0"s, "", "v"},
        ListingCase{"without equals", "k\0k=2\0"s, "k", std::nullopt},
        ListingCase{"quotes kept", "k=\"v\"\0"s, "k", "\"v\""},
        ListingCase{"missing", "a=1\0"s, "b", std::nullopt, false},
        ListingCase{"empty listing", ""s, "", std::nullopt, false},
        ListingCase{"ends at the empty string", "a=1\0\0b=2\0"s, "b",
                    std::nullopt, false},
        ListingCase{"last string without NUL", "a=1\0b=2"s, "b", "2"}),
    testing::CaseName());

TEST(SectionListingNamesTest, TellsNamesOutsideAscii) {
  EXPECT_FALSE(SectionListing("a=\xE9\0"s).HasNamesOutsideAscii());
  EXPECT_TRUE(SectionListing("a=1\0k\xC9y=2\0"s).HasNamesOutsideAscii());
  EXPECT_TRUE(SectionListing("\xE9\0"s).HasNamesOutsideAscii());
}

}  // namespace
}  // namespace quendrix
