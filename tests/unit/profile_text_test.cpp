#include "rules/profile_text.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace quendrix {
namespace {

// The parser on its own; the reader as the plug-in uses it, on every
// platform against the same table, is tested in the plug-in tests.
TEST(ProfileTextTest, FindsKeysOfTheFirstSectionWithoutRegardToCase) {
  const ProfileText profile = ProfileText::Parse(
      "[TXT]\r\nCommand1 = sort filein\r\n[txt]\r\ncommand2=later\r\n");
  EXPECT_EQ(profile.Find("txt", "command1"), std::optional<std::string>("sort filein"));
  EXPECT_EQ(profile.Find("Txt", "COMMAND1"), std::optional<std::string>("sort filein"));
  EXPECT_EQ(profile.Find("txt", "command2"), std::nullopt);
  EXPECT_EQ(profile.Find("doc", "command1"), std::nullopt);
}

TEST(ProfileTextTest, EmptyAndGarbageInputHaveNoKeys) {
  for (const char* bytes : {"", "\n\n", "=", "[", "]", "[]", "\x1a", "key=value"}) {
    const ProfileText profile = ProfileText::Parse(bytes);
    EXPECT_EQ(profile.Find("", "key"), std::nullopt) << bytes;
    EXPECT_EQ(profile.Find("key", "key"), std::nullopt) << bytes;
  }
}

}  // namespace
}  // namespace quendrix
