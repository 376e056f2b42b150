#include "plugin/archive_name.h"

#include <gtest/gtest.h>

namespace quendrix {
namespace {

using platform::PathStyle;

struct SplitCase {
  PathStyle style;
  const char* path;
  const char* baseName;
  const char* extension;
};

class SplitArchiveNameTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitArchiveNameTest, SplitsAtLastSeparatorAndLastDot) {
  const SplitCase& c = GetParam();
  const ArchiveName name = SplitArchiveName(c.path, c.style);
  EXPECT_EQ(name.baseName, c.baseName) << c.path;
  EXPECT_EQ(name.extension, c.extension) << c.path;
}

INSTANTIATE_TEST_SUITE_P(
    BothStyles, SplitArchiveNameTest,
    ::testing::Values(
        SplitCase{PathStyle::kWindows, R"(D:\dir\archive.tar.gz)", "archive.tar", "gz"},
        SplitCase{PathStyle::kWindows, R"(D:\dir.x\file)", "file", ""},
        SplitCase{PathStyle::kWindows, R"(D:\dir\.profile)", "", "profile"},
        SplitCase{PathStyle::kWindows, R"(D:\dir\name.)", "name", ""},
        // In the Windows style a forward slash is an ordinary character.
        SplitCase{PathStyle::kWindows, "D:/a/b.txt", "D:/a/b", "txt"},
        SplitCase{PathStyle::kWindows, "report.doc", "report", "doc"},
        SplitCase{PathStyle::kWindows, "", "", ""},
        SplitCase{PathStyle::kWindows, R"(C:\dir\)", "", ""},
        SplitCase{PathStyle::kPosix, "/home/u/archive.tar.gz", "archive.tar", "gz"},
        SplitCase{PathStyle::kPosix, "/home/u.x/file", "file", ""},
        SplitCase{PathStyle::kPosix, "/home/u/.profile", "", "profile"},
        SplitCase{PathStyle::kPosix, "/home/u/name.", "name", ""},
        // And in the POSIX style a backslash is.
        SplitCase{PathStyle::kPosix, R"(/tmp/a\b.txt)", R"(a\b)", "txt"},
        SplitCase{PathStyle::kPosix, "/tmp/with blank.and\"quote.TXT", "with blank.and\"quote", "TXT"}));

}  // namespace
}  // namespace quendrix
