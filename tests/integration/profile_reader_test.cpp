// The platform's profile reader, as the rules lookup uses it. The same table
// runs against our own reader on Linux and against the system's
// GetPrivateProfileStringA under Wine: rules files mean the same on both.
#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>

#include "platform/platform.h"
#include "support/case_name.h"
#include "support/temp_dir.h"

namespace quendrix::testing {
namespace {

using namespace std::string_literals;

struct ReadCase {
  const char* label;
  std::string file;
  std::string section;
  std::string key;
  std::size_t bufferSize;
  std::string expected;
  std::string defaultValue = "not found";
};

void PrintTo(const ReadCase& c, std::ostream* out) { *out << c.label; }

class ProfileReaderTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ProfileReaderTest, ReadsAsTheWindowsProfileFunctionsDo) {
  const ReadCase& c = GetParam();
  TempDir dir;
  const std::string path = dir.file("rules.ini");
  WriteFile(path, c.file);
  const platform::Profile profile(path);
  EXPECT_EQ(profile.Read(c.section, c.key, c.defaultValue, c.bufferSize),
            c.expected);
}

const std::string kLong(5000, 'x');

// ASCII text as UTF-16 with its byte-order mark.
std::string Utf16(std::string_view ascii, bool bigEndian) {
  std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (const char c : ascii) {
    bytes += bigEndian ? '\0' : c;
    bytes += bigEndian ? c : '\0';
  }
  return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ProfileReaderTest,
    ::testing::Values(
        // Names and cuts.
        ReadCase{"plain", "[txt]\nkey=value\n", "txt", "key", 1024, "value"},
        ReadCase{"case", "[TXT]\nKEY=value\n", "txt", "key", 1024, "value"},
        ReadCase{"missing key", "[txt]\nkey=value\n", "txt", "other", 1024, "not found"},
        ReadCase{"missing section", "[txt]\nkey=value\n", "doc", "key", 1024, "not found"},
        ReadCase{"cut", "[txt]\nkey=value\n", "txt", "key", 3, "va"},
        ReadCase{"buffer 1", "[txt]\nkey=value\n", "txt", "key", 1, ""},
        ReadCase{"buffer 2", "[txt]\nkey=value\n", "txt", "key", 2, "v"},
        ReadCase{"default cut by buffer 2", "[txt]\n", "txt", "key", 2, "n"},
        ReadCase{"default with trailing blanks", "[txt]\n", "txt", "key", 1024, "dflt", "dflt  "},
        ReadCase{"default of blanks only", "[txt]\n", "txt", "key", 1024, " ", "   "},
        ReadCase{"quoted default", "[txt]\n", "txt", "key", 1024, "dflt", "'dflt'"},
        ReadCase{"quoted default cut", "[txt]\n", "txt", "key", 3, "df", "'dflt'"},
        ReadCase{"default outside ASCII", "[txt]\n", "txt", "key", 1024, "d\xE9" "faut", "d\xE9" "faut"},
        ReadCase{"default after NUL ignored", "[txt]\n", "txt", "key", 1024, "dflt", "dflt\0more"s},
        // Duplicates: the first section of a name and its first key win.
        ReadCase{"duplicate section first wins", "[a]\nk=1\n[b]\nk=2\n[A]\nk=3\nj=4\n", "a", "k", 1024, "1"},
        ReadCase{"duplicate section not merged", "[a]\nk=1\n[b]\nk=2\n[A]\nk=3\nj=4\n", "a", "j", 1024, "not found"},
        ReadCase{"duplicate key", "[a]\nk=1\nK=2\n", "a", "k", 1024, "1"},
        ReadCase{"key without equals shadows later key", "[a]\nk\nk=2\n", "a", "k", 1024, "not found"},
        ReadCase{"empty first key wins", "[a]\nk=\nk=2\n", "a", "k", 1024, ""},
        ReadCase{"case outside ASCII is not folded", "[a]\nk\xC9y=value\n", "a", "k\xE9y", 1024, "not found"},
        ReadCase{"name outside ASCII before the key", "[a]\nk\xC9y=1\nkey=2\n", "a", "key", 1024, "2"},
        ReadCase{"name outside ASCII asked", "[a]\nk\xC9y=1\nkey=2\n", "a", "k\xC9y", 1024, "1"},
        ReadCase{"section name outside ASCII", "[\xE9t\xE9]\nkey=value\n", "\xE9t\xE9", "key", 1024, "value"},
        ReadCase{"section name ending outside ASCII", "[t\xE9]\nkey=value\n", "t\xE9 ", "key", 1024, "value"},
        // Quotation marks.
        ReadCase{"double quotes", "[a]\nk=\"quoted value\"\n", "a", "k", 1024, "quoted value"},
        ReadCase{"single quotes", "[a]\nk='single'\n", "a", "k", 1024, "single"},
        ReadCase{"mismatched quotes", "[a]\nk=\"mismatched'\n", "a", "k", 1024, "\"mismatched'"},
        ReadCase{"lone quote", "[a]\nk=\"\n", "a", "k", 1024, "\""},
        ReadCase{"empty quotes", "[a]\nk=\"\"\n", "a", "k", 1024, ""},
        ReadCase{"empty single quotes", "[a]\nk=''\n", "a", "k", 1024, ""},
        ReadCase{"quotes inside kept", "[a]\nk=\"a\" b \"c\"\n", "a", "k", 1024, "a\" b \"c"},
        ReadCase{"blanks inside quotes kept", "[a]\nk=  \"  padded  \"  \n", "a", "k", 1024, "  padded  "},
        ReadCase{"quote only at start", "[a]\nk=\"open\n", "a", "k", 1024, "\"open"},
        ReadCase{"quote only at end", "[a]\nk=close\"\n", "a", "k", 1024, "close\""},
        ReadCase{"quoted cut short", "[a]\nk=\"abcdef\"\n", "a", "k", 4, "abc"},
        ReadCase{"quoted cut at closing quote", "[a]\nk=\"abcdef\"\n", "a", "k", 7, "abcde"},
        ReadCase{"quoted fits exactly", "[a]\nk=\"abcdef\"\n", "a", "k", 8, "abcdef"},
        ReadCase{"empty quotes buffer 2", "[a]\nk=\"\"\n", "a", "k", 2, ""},
        // Blanks and tabs.
        ReadCase{"blanks around section name", "  [  txt  ]  \nkey=value\n", "txt", "key", 1024, "value"},
        ReadCase{"tabs around section name", "[\ttxt\t]\nkey=value\n", "txt", "key", 1024, "value"},
        ReadCase{"blanks around key and value", "[txt]\n  key  =  value  \n", "txt", "key", 1024, "value"},
        ReadCase{"tabs around key and value", "[txt]\n\tkey\t=\tvalue\t\n", "txt", "key", 1024, "value"},
        ReadCase{"blanks inside value kept", "[txt]\nkey = a  b \n", "txt", "key", 1024, "a  b"},
        ReadCase{"blanks inside key", "[txt]\nmy key=value\n", "txt", "my key", 1024, "value"},
        ReadCase{"names asked with blanks", "[txt]\nkey=value\n", " txt\t", "\tkey ", 1024, "value"},
        ReadCase{"names asked with other white space", "[txt]\nkey=value\n", "\vtxt\x1a", "\fkey\r\n", 1024, "value"},
        ReadCase{"vertical tab and form feed are blanks", "[txt]\n\vkey\f=\fvalue\v\n", "txt", "key", 1024, "value"},
        ReadCase{"no-break space is no blank", "[txt]\nkey=value\xA0\n", "txt", "key", 1024, "value\xA0"},
        ReadCase{"control characters are no blanks", "[txt]\nkey=value\x1c\x1f\n", "txt", "key", 1024, "value\x1c\x1f"},
        ReadCase{"second equals in value", "[txt]\nkey=a=b\n", "txt", "key", 1024, "a=b"},
        // Line ends.
        ReadCase{"CR LF", "[txt]\r\nkey=value\r\nnext=2\r\n", "txt", "key", 1024, "value"},
        ReadCase{"CR only", "[txt]\rkey=value\rnext=2\r", "txt", "next", 1024, "2"},
        ReadCase{"CR only value", "[txt]\rkey=value\rnext=2\r", "txt", "key", 1024, "value"},
        ReadCase{"lone CR in LF file ends the line", "[txt]\nkey=a\rb=c\n", "txt", "key", 1024, "a"},
        ReadCase{"lone CR in LF file starts a line", "[txt]\nkey=a\rb=c\n", "txt", "b", 1024, "c"},
        ReadCase{"CR after last LF", "[a]\nk=1\r[b]\rk=2", "b", "k", 1024, "2"},
        ReadCase{"no final newline", "[txt]\nkey=value", "txt", "key", 1024, "value"},
        ReadCase{"no newline at all", "[txt]", "txt", "key", 1024, "not found"},
        ReadCase{"blank lines", "\n\n[txt]\n\n\nkey=value\n\n", "txt", "key", 1024, "value"},
        // Comments.
        ReadCase{"commented key", "[txt]\n;key=commented\nkey=value\n", "txt", "key", 1024, "value"},
        ReadCase{"comment line is a key", "[txt]\n; a=b\n", "txt", "; a", 1024, "b"},
        ReadCase{"comment line asked with blanks", "[txt]\n;a=b\nc=d\n", "txt", " ;a", 1024, "b"},
        ReadCase{"comment hides its key", "[txt]\n; a=b\n", "txt", "a", 1024, "not found"},
        ReadCase{"commented section", "[txt]\n;[doc]\nk=1\n", "doc", "k", 1024, "not found"},
        ReadCase{"commented section keeps keys", "[txt]\n;[doc]\nk=1\n", "txt", "k", 1024, "1"},
        ReadCase{"inline comment kept", "[txt]\nkey=value ; note\n", "txt", "key", 1024, "value ; note"},
        // Keys without "=" and empty values.
        ReadCase{"key without equals", "[txt]\nkey\n", "txt", "key", 1024, "not found"},
        ReadCase{"empty value", "[txt]\nkey=\n", "txt", "key", 1024, ""},
        ReadCase{"blank value", "[txt]\nkey=   \t\n", "txt", "key", 1024, ""},
        ReadCase{"empty key name", "[txt]\n=value\n", "txt", "", 1024, "value"},
        // NUL bytes.
        ReadCase{"NUL in value", "[txt]\nkey=va\0lue\n"s, "txt", "key", 1024, "va"},
        ReadCase{"NUL in key name", "[txt]\nke\0y=value\n"s, "txt", "ke", 1024, "value"},
        ReadCase{"NUL in key name full", "[txt]\nke\0y=value\n"s, "txt", "key", 1024, "not found"},
        ReadCase{"NUL in section name", "[t\0x]\nkey=value\n"s, "t", "key", 1024, "value"},
        ReadCase{"NUL before quote", "[txt]\nkey=\"ab\0c\"\n"s, "txt", "key", 1024, "\"ab"},
        // Very long lines.
        ReadCase{"long value", "[txt]\nkey=" + kLong + "\n", "txt", "key", 1024, std::string(1023, 'x')},
        ReadCase{"long line before key", "[txt]\n;" + kLong + "\nkey=value\n", "txt", "key", 1024, "value"},
        ReadCase{"long section name", "[" + kLong + "]\nkey=value\n", kLong, "key", 1024, "value"},
        ReadCase{"long key name", "[txt]\n" + kLong + "=value\n", "txt", kLong, 1024, "value"},
        // Byte-order mark, text before the first section, odd headers.
        ReadCase{"UTF-8 byte-order mark", "\xEF\xBB\xBF[txt]\nkey=value\n", "txt", "key", 1024, "value"},
        ReadCase{"byte-order mark before a key", "\xEF\xBB\xBFkey=top\n[txt]\n", "", "key", 1024, "top"},
        ReadCase{"second byte-order mark is text", "\xEF\xBB\xBF\xEF\xBB\xBF[txt]\nkey=value\n", "txt", "key", 1024, "not found"},
        ReadCase{"UTF-16 little-endian", Utf16("[txt]\r\nkey=value\r\n", false), "txt", "key", 1024, "value"},
        ReadCase{"UTF-16 big-endian", Utf16("[txt]\r\nkey=\"value\"\r\n", true), "txt", "key", 1024, "value"},
        ReadCase{"text before first section", "key=top\n[txt]\nkey=value\n", "txt", "key", 1024, "value"},
        ReadCase{"keys before first section", "key=top\n[txt]\nkey=value\n", "", "key", 1024, "top"},
        ReadCase{"unclosed section header", "[txt]\n[doc\nkey=value\n", "txt", "key", 1024, "value"},
        ReadCase{"unclosed section header is a key", "[txt]\n[doc=1\n", "txt", "[doc", 1024, "1"},
        ReadCase{"unclosed section opens none", "[txt]\n[doc\nkey=value\n", "doc", "key", 1024, "not found"},
        ReadCase{"bracket inside section name", "[a]b]\nkey=value\n", "a]b", "key", 1024, "value"},
        ReadCase{"text after section header", "[txt] ; note\nkey=value\n", "txt", "key", 1024, "value"},
        ReadCase{"empty section name is the top section", "[]\nkey=value\n", "", "key", 1024, "not found"},
        ReadCase{"blank section name is the top section", "[ ]\nkey=value\n", "", "key", 1024, "not found"},
        ReadCase{"empty section after top keys", "key=top\n[]\nkey=value\n", "", "key", 1024, "top"},
        // Ctrl-Z, left at the end by old editors.
        ReadCase{"Ctrl-Z line", "[txt]\nkey=value\n\x1a", "txt", "key", 1024, "value"},
        ReadCase{"Ctrl-Z after value", "[txt]\nkey=value\x1a\n", "txt", "key", 1024, "value"},
        ReadCase{"Ctrl-Z before equals", "[txt]\nkey\x1a=value\n", "txt", "key", 1024, "value"},
        ReadCase{"Ctrl-Z inside value kept", "[txt]\nkey=a\x1a b\n", "txt", "key", 1024, "a\x1a b"}),
    CaseName());

TEST(ProfileReaderFileTest, MissingFileReadsAsMissingEverywhere) {
  TempDir dir;
  const platform::Profile profile(dir.file("absent.ini"));
  EXPECT_EQ(profile.Read("txt", "key", "dflt", 1024), "dflt");
}

TEST(ProfileReaderFileTest, EditOfTheSameSizeIsSeenAtOnce) {
  TempDir dir;
  const std::string path = dir.file("rules.ini");
  for (const char* value : {"1", "2", "3", "2"}) {
    WriteFile(path, "[txt]\nkey=" + std::string(value) + "\n");
    EXPECT_EQ(platform::Profile(path).Read("txt", "key", "", 1024), value);
  }
}

TEST(ProfileReaderFileTest, ProfilesOfTwoFilesWithTheSameBytesAgree) {
  TempDir dir;
  const std::string first = dir.file("first.ini");
  const std::string second = dir.file("second.ini");
  WriteFile(first, "[txt]\nkey=value\n");
  WriteFile(second, "[txt]\nkey=value\n");
  EXPECT_EQ(platform::Profile(first).Read("txt", "key", "", 1024), "value");
  EXPECT_EQ(platform::Profile(second).Read("txt", "key", "", 1024), "value");
  std::filesystem::remove(first);
  EXPECT_EQ(platform::Profile(first).Read("txt", "key", "gone", 1024), "gone");
}

// Our own reader takes one snapshot of the whole file per Profile; the
// Windows reader takes one of each section when a key of it is first asked
// for (see SectionIsReadOnceForAllItsKeys).
TEST(ProfileReaderFileTest, ProfileAnswersFromTheFileAsItWasWhenMade) {
  if (platform::kPathStyle == platform::PathStyle::kWindows) {
    GTEST_SKIP() << "the Windows reader takes each section when first asked";
  }
  TempDir dir;
  const std::string path = dir.file("rules.ini");
  WriteFile(path, "[txt]\nkey=old\n");
  const platform::Profile before(path);
  WriteFile(path, "[txt]\nkey=new\n");
  const platform::Profile after(path);
  EXPECT_EQ(before.Read("txt", "key", "", 1024), "old");
  EXPECT_EQ(after.Read("txt", "key", "", 1024), "new");
  std::filesystem::remove(path);
  EXPECT_EQ(before.Read("txt", "key", "", 1024), "old");
}

// A lookup asks for many keys of one or two sections while the rules file
// may be saved: every key of a section must come from one version of it, on
// every platform, and a new Profile must see the new version.
TEST(ProfileReaderFileTest, SectionIsReadOnceForAllItsKeys) {
  TempDir dir;
  const std::string path = dir.file("rules.ini");
  WriteFile(path, "[txt]\nkey=old\nother=old\n[doc]\nkey=old\n");
  const platform::Profile profile(path);
  ASSERT_EQ(profile.Read("txt", "key", "", 1024), "old");
  WriteFile(path, "[txt]\nkey=new\nother=new\n[doc]\nkey=new\n");
  EXPECT_EQ(profile.Read("TXT", " other", "", 1024), "old");
  EXPECT_EQ(profile.Read("txt", "key", "", 1024), "old");
  EXPECT_EQ(platform::Profile(path).Read("txt", "other", "", 1024), "new");
  EXPECT_EQ(platform::Profile(path).Read("doc", "key", "", 1024), "new");
}

// The Windows reader lists a section into a buffer that it enlarges until
// the listing fits; the system reports a listing that fits exactly like one
// that is cut. Sections whose listing ends just before, at and just after
// each power of two must still yield their last key whole.
TEST(ProfileReaderFileTest, SectionsOfEverySizeReadWhole) {
  TempDir dir;
  const std::string path = dir.file("rules.ini");
  for (std::size_t power = 12; power <= 20; ++power) {
    for (int offset = -4; offset <= 4; ++offset) {
      // The listing: "a=1", "k=" and the filler, "z=" and the last value, each
      // with a NUL byte, and a NUL after them.
      const std::size_t listing = (std::size_t{1} << power) + offset;
      const std::string last = "end" + std::to_string(listing);
      const std::size_t filler = listing - 4 - 3 - (3 + last.size()) - 1;
      WriteFile(path, "[big]\r\na=1\r\nk=" + std::string(filler, 'x') +
                          "\r\nz=" + last + "\r\n");
      const platform::Profile profile(path);
      EXPECT_EQ(profile.Read("big", "z", "missing", 64), last);
      EXPECT_EQ(profile.Read("big", "k", "", filler + 1).size(), filler)
          << "listing of " << listing << " bytes";
    }
  }
}

}  // namespace
}  // namespace quendrix::testing
