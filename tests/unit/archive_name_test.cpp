#include "rules/archive_name.h"

#include <gtest/gtest.h>

namespace quendrix {
namespace {

using platform::PathStyle;

struct ArchiveNameCase {
  PathStyle style;
  const char* path;
  const char* baseName;
  const char* extension;
};

class SplitArchiveNameTest : public ::testing::TestWithParam<ArchiveNameCase> {};

TEST_P(SplitArchiveNameTest, SplitsAtLastSeparatorAndLastDot) {
  const ArchiveNameCase& c = GetParam();
  const ArchiveName name = SplitArchiveName(c.path, c.style);
  EXPECT_EQ(name.baseName, c.baseName) << c.path;
  EXPECT_EQ(name.extension, c.extension) << c.path;
}

INSTANTIATE_TEST_SUITE_P(
    BothStyles, SplitArchiveNameTest,
    ::testing::Values(
        ArchiveNameCase{PathStyle::kWindows, R"(D:\dir\archive.tar.gz)", "archive.tar", "gz"},
        ArchiveNameCase{PathStyle::kWindows, R"(D:\dir.x\file)", "file", ""},
        ArchiveNameCase{PathStyle::kWindows, R"(D:\dir\.profile)", "", "profile"},
        ArchiveNameCase{PathStyle::kWindows, R"(D:\dir\name.)", "name", ""},
        // In the Windows style a forward slash is an ordinary character.
        ArchiveNameCase{PathStyle::kWindows, "D:/a/b.txt", "D:/a/b", "txt"},
        ArchiveNameCase{PathStyle::kWindows, "report.doc", "report", "doc"},
        ArchiveNameCase{PathStyle::kWindows, "", "", ""},
        ArchiveNameCase{PathStyle::kWindows, R"(C:\dir\)", "", ""},
        ArchiveNameCase{PathStyle::kPosix, "/home/u/archive.tar.gz", "archive.tar", "gz"},
        ArchiveNameCase{PathStyle::kPosix, "/home/u.x/file", "file", ""},
        ArchiveNameCase{PathStyle::kPosix, "/home/u/.profile", "", "profile"},
        ArchiveNameCase{PathStyle::kPosix, "/home/u/name.", "name", ""},
        // And in the POSIX style a backslash is.
        ArchiveNameCase{PathStyle::kPosix, R"(/tmp/a\b.txt)", R"(a\b)", "txt"},
        ArchiveNameCase{PathStyle::kPosix, "/tmp/with blank.and\"quote.TXT", "with blank.and\"quote", "TXT"}));

}  // namespace
}  // namespace quendrix
