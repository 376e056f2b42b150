#include "format/profile_lines.h"

#include <gtest/gtest.h>

#include <string>

#include "format/profile_text.h"

namespace quendrix {
namespace {

using namespace std::string_literals;

// The listing as one text: each header and key with its line, and for a
// repeated one the line of the one a lookup reads instead.
std::string Render(const ProfileLines& lines) {
  std::string out;
  const auto& sections = lines.sections();
  for (std::size_t s = 0; s < sections.size(); ++s) {
    const ProfileSectionLines& section = sections[s];
    out += std::to_string(section.line) + " [" + std::string(section.name) + "]";
    if (section.first != s) out += " repeats " + std::to_string(sections[section.first].line);
    out += "\n";
    for (std::size_t k = 0; k < section.keys.size(); ++k) {
      const ProfileKeyLine& key = section.keys[k];
      out += std::to_string(key.line) + "   " + std::string(key.name) +
             (key.value ? "=" + std::string(*key.value) : " (no =)");
      if (key.first != k) out += " repeats " + std::to_string(section.keys[key.first].line);
      out += "\n";
    }
  }
  return out;
}

TEST(ProfileLinesTest, ListsHeadersAndKeysWithTheLinesAnEditorShows) {
  struct Case {
    const char* label;
    std::string bytes;
    std::string listing;
  };
  const Case cases[] = {
      {"a rules file as users write it",
       "; rules\n"
       "\n"
       "[txt]   ; files ending in .txt\n"
       "  command1 = sort -o fileout filein  \n"
       "fileout1=[N].sorted\n"
       "; command2=off\n"
       "Command1=second\n"
       "\n"
       "[doc]\n"
       "synonym=txt\n"
       "[ TXT ]\n"
       "command2=never read\n",
       "0 []\n"
       "3 [txt]\n"
       "4   command1=sort -o fileout filein\n"
       "5   fileout1=[N].sorted\n"
       "7   Command1=second repeats 4\n"
       "9 [doc]\n"
       "10   synonym=txt\n"
       "11 [TXT] repeats 3\n"
       "12   command2=never read\n"},
      {"CR LF, a lone CR and a lone LF each end one line",
       "[a]\r\nx=1\r\n\r\ny=2\rz=3\nw\r\n",
       "0 []\n"
       "1 [a]\n"
       "2   x=1\n"
       "4   y=2\n"
       "5   z=3\n"
       "6   w (no =)\n"},
      {"keys before the first header, and an empty header that names them again",
       "k=1\n[]\nk=2\n[s]\n",
       "0 []\n"
       "1   k=1\n"
       "2 [] repeats 0\n"
       "3   k=2\n"
       "4 [s]\n"},
      {"a [ without ] is a key; a header takes up to its last ]",
       "[a\n[b] ; see [c]\nv = \"quoted\" \n",
       "0 []\n"
       "1   [a (no =)\n"
       "2 [b] ; see [c]\n"
       "3   v=\"quoted\"\n"},
      {"names end at a NUL byte, as the reader's C strings do",
       "[a\0b]\nk\0ey=v\0w\n"s,
       "0 []\n"
       "1 [a]\n"
       "2   k=v\n"},
      {"a UTF-8 byte-order mark is no part of the first line",
       "\xEF\xBB\xBF[a]\nk=v\n",
       "0 []\n"
       "1 [a]\n"
       "2   k=v\n"},
      {"UTF-16 little-endian, CR LF",
       "\xFF\xFE[\0a\0]\0\r\0\n\0k\0=\0\xE9\0\r\0\n\0"s,
       "0 []\n"
       "1 [a]\n"
       "2   k=\xC3\xA9\n"},
      {"UTF-16 big-endian",
       "\xFE\xFF\0[\0a\0]\0\n\0k\0=\0v"s,
       "0 []\n"
       "1 [a]\n"
       "2   k=v\n"},
      {"nothing", "", "0 []\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Render(ProfileLines(c.bytes)), c.listing) << c.label;
  }
}

// The listing and the reader agree on which value a lookup gets: the one of
// the first key of its name in the first section of its name.
TEST(ProfileLinesTest, TheFirstOfANameIsTheOneTheReaderReads) {
  const std::string bytes =
      "[A]\nk=1\nK=2\n[a]\nk=3\nj=4\n[b]\r\nk=5\r\n;k=6\r\nk=7\r\n";
  const ProfileLines lines(bytes);
  const ProfileText text(bytes);
  for (std::size_t s = 0; s < lines.sections().size(); ++s) {
    const ProfileSectionLines& section = lines.sections()[s];
    for (std::size_t k = 0; k < section.keys.size(); ++k) {
      const ProfileKeyLine& key = section.keys[k];
      const bool read = section.first == s && key.first == k;
      EXPECT_EQ(text.Find(section.name, key.name) == key.value, read)
          << section.name << "/" << key.name << " at line " << key.line;
    }
  }
}

}  // namespace
}  // namespace quendrix
