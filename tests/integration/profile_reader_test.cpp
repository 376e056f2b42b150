// The platform's profile reader, as the rules lookup uses it. The same table
// runs against our own reader on Linux and against the system's
// GetPrivateProfileStringA under Wine: rules files mean the same on both.
#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"
#include "support/temp_dir.h"

namespace quendrix::testing {
namespace {

struct ReadCase {
  const char* label;
  std::string_view file;
  const char* section;
  const char* key;
  std::size_t bufferSize;
  const char* expected;
};

class ProfileReaderTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ProfileReaderTest, ReadsAsTheWindowsProfileFunctionsDo) {
  const ReadCase& c = GetParam();
  TempDir dir;
  const std::string path = dir.file("rules.ini");
  WriteFile(path, c.file);
  const platform::Profile profile(path);
  EXPECT_EQ(profile.Read(c.section, c.key, "not found", c.bufferSize), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ProfileReaderTest,
    ::testing::Values(
        ReadCase{"plain", "[txt]\nkey=value\n", "txt", "key", 1024, "value"},
        ReadCase{"case", "[TXT]\nKEY=value\n", "txt", "key", 1024, "value"},
        ReadCase{"missing key", "[txt]\nkey=value\n", "txt", "other", 1024, "not found"},
        ReadCase{"cut", "[txt]\nkey=value\n", "txt", "key", 3, "va"}),
    [](const auto& info) {
      std::string name = info.param.label;
      for (char& c : name) if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      return name;
    });

TEST(ProfileReaderFileTest, MissingFileReadsAsMissingEverywhere) {
  TempDir dir;
  const platform::Profile profile(dir.file("absent.ini"));
  EXPECT_EQ(profile.Read("txt", "key", "dflt", 1024), "dflt");
}

}  // namespace
}  // namespace quendrix::testing
