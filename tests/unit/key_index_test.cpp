// The key table of a rules section: the first key of a name wins however the
// name is cased, and stays found while the table grows from a few keys to
// tens of thousands.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "format/key_index.h"

namespace quendrix {
namespace {

TEST(KeyIndexTest, FirstKeyOfANameWinsAcrossCaseAndGrowth) {
  constexpr int kKeys = 40000;
  // The names and values must outlive the index, as the file's text does.
  std::vector<std::string> names;
  std::vector<std::string> later;
  names.reserve(kKeys);
  later.reserve(kKeys);
  for (int n = 0; n < kKeys; ++n) {
    names.push_back("command" + std::to_string(n));
    later.push_back("COMMAND" + std::to_string(n));
  }

  KeyIndex index;
  for (int n = 0; n < kKeys; ++n) {
    index.Add(names[n], names[n]);
    // A later key of the same name, in other case, added while the table
    // grows, hides nothing.
    if (n % 3 == 0) index.Add(later[n / 2], std::nullopt);
  }

  ASSERT_EQ(index.keys().size(), static_cast<std::size_t>(kKeys));
  for (int n = 0; n < kKeys; ++n) {
    const KeyIndex::Key* key = index.Find(later[n]);
    ASSERT_NE(key, nullptr) << later[n];
    EXPECT_EQ(key->name, names[n]);
    ASSERT_TRUE(key->value.has_value());
    EXPECT_EQ(*key->value, names[n]);
    EXPECT_EQ(index.keys()[n].name, names[n]) << "keys keep the file's order";
  }
  for (const char* missing : {"command", "command40000", "command-1", "",
                              "command1 ", "fileout1"}) {
    EXPECT_EQ(index.Find(missing), nullptr) << missing;
  }
}

TEST(KeyIndexTest, AKeyWithoutValueStillHidesLaterOnes) {
  KeyIndex index;
  EXPECT_EQ(index.Find("log"), nullptr) << "an empty table finds nothing";
  index.Add("Log", std::nullopt);
  index.Add("log", "1");
  const KeyIndex::Key* key = index.Find("LOG");
  ASSERT_NE(key, nullptr);
  EXPECT_FALSE(key->value.has_value());
}

TEST(KeyIndexTest, FoldingTouchesOnlyAsciiLetters) {
  const struct {
    const char* a;
    const char* b;
    bool equal;
  } rows[] = {
      {"ShowConsole", "showconsole", true},
      {"[x]", "[X]", true},
      {"\xC3\x84", "\xC3\xA4", false},  // Ä and ä are different names
      {"@", "`", false},                 // 0x40 and 0x60 differ by the case bit
      {"a", "a ", false},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(FoldedEqual(row.a, row.b), row.equal) << row.a << " / " << row.b;
    if (row.equal) {
      EXPECT_EQ(FoldedHash(row.a), FoldedHash(row.b)) << row.a;
    }
  }
}

}  // namespace
}  // namespace quendrix
