#include "rules/replace.h"

#include <gtest/gtest.h>

#include <string>

#include "rules/entry.h"
#include "rules/placeholder.h"
#include "format/shell_words.h"

namespace quendrix {
namespace {

using platform::PathStyle;

constexpr std::size_t kNoCut = std::string::npos;

TEST(ReplaceAllTest, ReplacesEveryOccurrenceFromLeftToRight) {
  struct Case { std::string_view text, from, to; std::size_t limit; std::string_view expected; };
  for (const Case& c : {
           Case{"a filein b filein", "filein", "X", kNoCut, "a X b X"},
           Case{"aaa", "aa", "b", kNoCut, "ba"},            // non-overlapping
           Case{"aa", "a", "aa", kNoCut, "aaaa"},           // inserted text not searched again
           Case{"xfileinfilein", "filein", "", kNoCut, "x"},
           Case{"FileIn filein", "filein", "X", kNoCut, "FileIn X"},  // with case
           Case{"abc", "", "X", kNoCut, "abc"},             // empty pattern
           Case{"ab", "abc", "X", kNoCut, "ab"},            // text shorter than the pattern
           Case{"", "a", "X", kNoCut, ""},
           Case{"a-a-a", "a", "123", 6, "123-12"},          // cut inside an insertion
           Case{"abcdef", "x", "y", 3, "abc"},              // cut without occurrence
           Case{"ab", "b", "", 0, ""}}) {
    EXPECT_EQ(ReplaceAll(c.text, c.from, c.to, c.limit), c.expected)
        << c.text << " / " << c.from;
  }
}

TEST(ReplaceAllTest, NeverBuildsPastTheLimit) {
  const std::string many(100000, 'a');
  std::size_t largest = 0;
  const std::string result = ReplaceEach(
      many, "a",
      [&largest](std::string_view built, std::string_view) {
        largest = std::max(largest, built.size());
        return std::string(1000, 'b');
      },
      kTemplateLimit);
  EXPECT_EQ(result, std::string(kTemplateLimit, 'b'));
  EXPECT_LT(largest, kTemplateLimit);
}

// The destination goes in at extraction: as it is in the Windows style,
// quoted for its place in the POSIX style.
TEST(ReplacePlaceholderTest, FillsInTheDestination) {
  struct Case {
    PathStyle style;
    std::string_view command, destination, expected;
  };
  for (const Case& c : {
           Case{PathStyle::kWindows, R"(conv "fileout" fileout2)", R"(C:\out dir\a.txt)",
                R"(conv "C:\out dir\a.txt" C:\out dir\a.txt2)"},
           Case{PathStyle::kWindows, "conv FileOut", "x", "conv FileOut"},
           Case{PathStyle::kPosix, "/bin/conv -o fileout", "/out/a b.txt",
                "/bin/conv -o '/out/a b.txt'"},
           Case{PathStyle::kPosix, "/bin/conv -o fileout", "/out/a.txt",
                "/bin/conv -o /out/a.txt"},
           Case{PathStyle::kPosix, "/bin/conv \"fileout\" 'fileout'", "/o/it's \"x\"",
                R"(/bin/conv "/o/it's \"x\"" '/o/it'\''s "x"')"},
           Case{PathStyle::kPosix, "/bin/conv fileout", "", "/bin/conv ''"},
           // An inserted value never holds the placeholder any more.
           Case{PathStyle::kPosix, "/bin/conv fileout", "/o/fileout", "/bin/conv /o/f''ileout"}}) {
    EXPECT_EQ(ReplacePlaceholder(c.command, kDestinationPlaceholder, c.destination, c.style,
                                 kCommandLimit),
              c.expected);
  }
}

TEST(ReplacePlaceholderTest, ASecondReplacementFindsNothingInInsertedValues) {
  const std::string once = ReplacePlaceholder("/bin/conv fileout", kDestinationPlaceholder,
                                              "/o/fileout filein [N]", PathStyle::kPosix,
                                              kCommandLimit);
  EXPECT_EQ(ReplacePlaceholder(once, kDestinationPlaceholder, "/other", PathStyle::kPosix,
                               kCommandLimit),
            once);
  EXPECT_EQ(SplitCommandLine(once),
            (std::vector<std::string>{"/bin/conv", "/o/fileout filein [N]"}));
}

TEST(ReplacePlaceholderTest, CutsToTheLimit) {
  const std::string command = "/bin/conv fileout";
  const std::string result = ReplacePlaceholder(command, kDestinationPlaceholder,
                                                std::string(5000, 'd'), PathStyle::kPosix,
                                                kCommandLimit);
  EXPECT_EQ(result.size(), kCommandLimit);
}

}  // namespace
}  // namespace quendrix
