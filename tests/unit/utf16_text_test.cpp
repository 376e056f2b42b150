#include "format/utf16_text.h"

#include <gtest/gtest.h>

namespace quendrix {
namespace {

// Every text a Windows name can hold comes back unchanged through UTF-8,
// unpaired surrogates included.
TEST(Utf16TextTest, EveryUtf16TextSurvivesTheWayThroughUtf8) {
  struct Case {
    const char* label;
    std::u16string utf16;
    std::string utf8;
  };
  const Case cases[] = {
      {"empty", u"", ""},
      {"ASCII", u"a.txt", "a.txt"},
      {"Latin-1", u"caf\u00E9", "caf\xC3\xA9"},
      {"Cyrillic", u"\u041E\u0442\u0447\u0451\u0442", "\xD0\x9E\xD1\x82\xD1\x87\xD1\x91\xD1\x82"},
      {"CJK", u"\u5831\u544A", "\xE5\xA0\xB1\xE5\x91\x8A"},
      {"pair outside the BMP", u"\U0001F600", "\xF0\x9F\x98\x80"},
      {"highest character", u"\U0010FFFF", "\xF4\x8F\xBF\xBF"},
      {"lone lead surrogate", std::u16string(u"a") + char16_t(0xD83D) + u"b", "a\xED\xA0\xBD" "b"},
      {"lone trail surrogate", std::u16string(1, char16_t(0xDE00)), "\xED\xB8\x80"},
      {"lead at the end", std::u16string(u"x") + char16_t(0xD800), "x\xED\xA0\x80"},
      {"trail before lead", std::u16string{char16_t(0xDC00), char16_t(0xD800)}, "\xED\xB0\x80\xED\xA0\x80"},
      {"zero inside", std::u16string(u"a\0b", 3), std::string("a\0b", 3)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Utf8FromUtf16(c.utf16), c.utf8) << c.label;
    EXPECT_EQ(Utf16FromUtf8(c.utf8), c.utf16) << c.label;
  }
}

// Bytes that are no UTF-8 never come from Utf8FromUtf16, but a byte limit
// can cut a character, and the result is defined for any bytes.
TEST(Utf16TextTest, BrokenUtf8HasADefinedResult) {
  struct Case {
    const char* label;
    std::string utf8;
    std::u16string utf16;
  };
  const Case cases[] = {
      {"cut two-byte sequence at the end", "ab\xD0", u"ab"},
      {"cut four-byte sequence at the end", "a\xF0\x9F\x98", u"a"},
      {"cut sequence inside", "\xD0" "a", u"\uFFFD" "a"},
      {"stray continuation byte", "a\x80" "b", u"a\uFFFD" "b"},
      {"overlong form", "\xC0\x80", u"\uFFFD\uFFFD"},
      {"overlong three bytes", "\xE0\x80\x80", u"\uFFFD\uFFFD\uFFFD"},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"no lead byte", "\xF8\xFF", u"\uFFFD\uFFFD"},
      {"two bytes of three, then text", "\xE5\xA0x", u"\uFFFDx"},
      {"code-page byte", "caf\xE9 ok", u"caf\uFFFD ok"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Utf16FromUtf8(c.utf8), c.utf16) << c.label;
  }
}

TEST(Utf16TextTest, CutsNeverSeparateTheHalvesOfAPair) {
  const std::u16string text = u"ab\U0001F600c";  // a, b, lead, trail, c
  EXPECT_EQ(CutUtf16(text, 10), text);
  EXPECT_EQ(CutUtf16(text, 5), text);
  EXPECT_EQ(CutUtf16(text, 4), u"ab\U0001F600");
  EXPECT_EQ(CutUtf16(text, 3), u"ab");
  EXPECT_EQ(CutUtf16(text, 2), u"ab");
  EXPECT_EQ(CutUtf16(text, 0), u"");
  // A lone lead surrogate at the cut has no partner to keep it with.
  const std::u16string lone{u'a', char16_t(0xD800), u'b'};
  EXPECT_EQ(CutUtf16(lone, 2), lone.substr(0, 2));
  EXPECT_EQ(Utf16Terminated(nullptr), u"");
  EXPECT_EQ(Utf16Terminated(u"x\0y"), u"x");
}

}  // namespace
}  // namespace quendrix
