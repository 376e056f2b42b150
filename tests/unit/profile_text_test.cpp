#include "format/profile_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <random>
#include <string>

namespace quendrix {
namespace {

using namespace std::string_literals;

// The reader's rules one by one are compared against the system's reader in
// the plug-in tests (profile_reader_test.cpp); these tests cover what that
// table cannot: a whole rules file as users write it, text outside ASCII, and
// bytes that are no text at all.

constexpr std::size_t kBuffer = 1024;

// A rules file as it grows over time: edited on Windows and on Linux, with
// comments, settings, a synonym, a section repeated further down and keys
// that do not belong to any lookup.
constexpr std::string_view kRealisticRules =
    "\xEF\xBB\xBF; quendrix rules\r\n"
    "; Each section is an extension.\r\n"
    "\r\n"
    "[txt]\r\n"
    "log=1\r\n"
    "ShortFileName = 0\r\n"
    "command1=\"%ProgramFiles%\\Tools\\sort.exe\" filein fileout\r\n"
    "fileout1=[N].sorted.txt\r\n"
    "command2 = wc -l filein > fileout\r\n"
    "fileout2 = [N].count\r\n"
    ";command3=disabled filein fileout\r\n"
    ";fileout3=[N].disabled\r\n"
    "\r\n"
    "[doc]\n"
    "synonym=txt\n"
    "\n"
    "[ Pdf ]\n"
    "\tcommand1 = 'pdftotext filein fileout'\n"
    "\tfileout1 = [N].txt\n"
    "\tShowConsole=7   ; shown\n"
    "\n"
    "[TXT]\n"
    "command3=never read\n"
    "fileout3=never read\n";

TEST(ProfileTextTest, ReadsARealisticRulesFile) {
  const ProfileText rules{std::string(kRealisticRules)};
  struct Expected {
    const char* section;
    const char* key;
    const char* value;
  };
  for (const Expected& e : {
           Expected{"txt", "log", "1"},
           Expected{"txt", "shortfilename", "0"},
           Expected{"txt", "command1", "\"%ProgramFiles%\\Tools\\sort.exe\" filein fileout"},
           Expected{"txt", "fileout1", "[N].sorted.txt"},
           Expected{"txt", "command2", "wc -l filein > fileout"},
           Expected{"txt", "fileout2", "[N].count"},
           Expected{"txt", "command3", "not found"},
           Expected{"TXT", "fileout3", "not found"},
           Expected{"doc", "synonym", "txt"},
           Expected{"doc", "command1", "not found"},
           Expected{"pdf", "command1", "pdftotext filein fileout"},
           Expected{"pdf", "fileout1", "[N].txt"},
           Expected{"pdf", "ShowConsole", "7   ; shown"},
           Expected{"pdf", "log", "not found"},
           Expected{"", "; Each section is an extension.", "not found"},
       }) {
    EXPECT_EQ(rules.Read(e.section, e.key, "not found", kBuffer), e.value)
        << e.section << "/" << e.key;
  }
}

TEST(ProfileTextTest, FindGivesTheValueAsItStandsInTheFile) {
  const ProfileText rules("[a]\nquoted = \"x\" \nempty=\nbare\n"s);
  EXPECT_EQ(rules.Find("a", "quoted"), std::optional<std::string_view>("\"x\""));
  EXPECT_EQ(rules.Find("a", "empty"), std::optional<std::string_view>(""));
  EXPECT_EQ(rules.Find("a", "bare"), std::nullopt);
  EXPECT_EQ(rules.Find("b", "quoted"), std::nullopt);
}

// UTF-16 files, as Windows editors save "Unicode" text, are turned into the
// UTF-8 text of the systems that use this reader; no input is refused.
TEST(ProfileTextTest, DecodesUtf16FilesIntoUtf8) {
  struct Case {
    const char* label;
    std::string bytes;
    std::string expected;
  };
  const std::string header = "\xFF\xFE[\0a\0]\0\n\0k\0=\0"s;
  for (const Case& c : {
           Case{"two-byte and three-byte characters",
                header + "\xE9\0\xAC\x20"s, "\xC3\xA9\xE2\x82\xAC"},
           Case{"surrogate pair", header + "\x3D\xD8\x00\xDE"s,
                "\xF0\x9F\x98\x80"},
           Case{"lone high surrogate", header + "\x3D\xD8x\0"s, "\xEF\xBF\xBDx"},
           Case{"lone low surrogate", header + "\x00\xDE"s, "\xEF\xBF\xBD"},
           Case{"odd last byte", header + "x\0y"s, "x"},
           Case{"NUL character ends the value", header + "x\0\0\0y\0"s, "x"},
           Case{"big-endian", "\xFE\xFF\0[\0a\0]\0\n\0k\0=\0\xE9"s, "\xC3\xA9"},
       }) {
    EXPECT_EQ(ProfileText(c.bytes).Read("a", "k", "none", kBuffer), c.expected)
        << c.label;
  }
}

// Bytes outside ASCII pass through as they are: the reader neither folds
// their case nor takes any of them for a blank.
TEST(ProfileTextTest, BytesOutsideAsciiAreKeptAsTheyAre) {
  const ProfileText rules("[\xC3\xA9t\xC3\xA9]\n\xC3\x89t\xC3\xA9=\xC2\xA0v\xC2\xA0\n"s);
  EXPECT_EQ(rules.Read("\xC3\xA9t\xC3\xA9", "\xC3\x89t\xC3\xA9", "-", kBuffer),
            "\xC2\xA0v\xC2\xA0");
  EXPECT_EQ(rules.Read("\xC3\x89T\xC3\x89", "\xC3\x89t\xC3\xA9", "-", kBuffer), "-");
}

TEST(ProfileTextTest, TextsAskedWithANulByteEndThere) {
  const ProfileText rules("[a]\nk=v\n"s);
  EXPECT_EQ(rules.Read("a\0b"s, "k\0x"s, "-", kBuffer), "v");
  EXPECT_EQ(rules.Read("a", "missing", "d\0efault"s, kBuffer), "d");
}

TEST(ProfileTextTest, BufferOfNoBytesHoldsNothing) {
  const ProfileText rules("[a]\nk=v\n"s);
  EXPECT_EQ(rules.Read("a", "k", "-", 0), "");
  EXPECT_EQ(rules.Read("a", "missing", "-", 0), "");
}

TEST(ProfileTextTest, EmptyQuotesCutToOneByteGiveEmptyText) {
  // The reader removes the closing mark by position; with nothing copied
  // there is nothing to remove.
  const ProfileText rules("[a]\nk=\"\"\nj=''x'\n"s);
  EXPECT_EQ(rules.Read("a", "k", "-", 1), "");
  EXPECT_EQ(rules.Read("a", "j", "-", 1), "");
}

// Reading arbitrary bytes never fails: every read gives a value that fits
// the buffer, and the parse of many sections and keys finds each of them.
TEST(ProfileTextTest, ArbitraryBytesParseAndReadWithinTheBuffer) {
  std::mt19937 random(20240315);
  // Bytes that steer the parser, mixed with any byte at all.
  const std::string alphabet = "[]=;\"' \t\r\n\x1a\0\xEF\xBB\xBF\xFF\xFEkK"s;
  for (int round = 0; round < 300; ++round) {
    std::string bytes(random() % 400, '\0');
    for (char& c : bytes) {
      c = (random() % 2 == 0) ? alphabet[random() % alphabet.size()]
                              : static_cast<char>(random() % 256);
    }
    const ProfileText rules(bytes);
    for (const char* section : {"", "k", "K", "kk"}) {
      for (const std::size_t size : {std::size_t{1}, std::size_t{2}, std::size_t{7}}) {
        EXPECT_LT(rules.Read(section, "k", "default", size).size(), size);
      }
    }
  }
}

TEST(ProfileTextTest, ManySectionsAndKeysAreAllFound) {
  std::string bytes;
  constexpr int kSections = 200;
  constexpr int kKeys = 200;
  for (int s = 0; s < kSections; ++s) {
    bytes += "[s" + std::to_string(s) + "]\n";
    for (int k = 0; k < kKeys; ++k) {
      bytes += "key" + std::to_string(k) + "=" + std::to_string(s * kKeys + k) + "\n";
    }
  }
  const ProfileText rules(std::move(bytes));
  for (int s = 0; s < kSections; s += 7) {
    for (int k = 0; k < kKeys; k += 3) {
      ASSERT_EQ(rules.Read("S" + std::to_string(s), "KEY" + std::to_string(k), "-", kBuffer),
                std::to_string(s * kKeys + k));
    }
  }
}

TEST(ProfileTextTest, OneMegabyteLineIsOneValue) {
  const std::string value(1 << 20, 'v');
  const ProfileText rules("[a]\nk=" + value + "\nnext=1");
  EXPECT_EQ(rules.Find("a", "k"), std::optional<std::string_view>(value));
  EXPECT_EQ(rules.Read("a", "next", "-", kBuffer), "1");
}

}  // namespace
}  // namespace quendrix
