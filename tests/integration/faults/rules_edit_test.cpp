// A rules file edited between two lookups, read through the platform's
// profile reader. The reader may reuse what it took in from an unchanged
// file, so the edits here keep most of the file as it was: a change in its
// first or last part, a file that grew or was cut short, at a boundary of the
// reader's chunks or not. Every edit is seen by the next lookup, and again by
// the one after it.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "support/system_fixtures.h"
#include "support/temp_dir.h"

namespace quendrix::testing {
namespace {

constexpr std::size_t kChunk = 65536;

// One section at the top, about three and a half chunks of other sections,
// one section at the end.
std::string OriginalRules() {
  std::string bytes = "[top]\nfirst=one\n";
  for (int n = 0; bytes.size() < 3 * kChunk + kChunk / 2; ++n) {
    bytes += "[filler" + std::to_string(n) + "]\nkey=some value\n";
  }
  return bytes + "[end]\nlast=tail\n";
}

struct EditRow {
  const char* name;
  std::function<void(std::string&)> edit;
  const char* section;
  const char* key;
  std::string expected;  // "missing" is the default of the read
};

void ReplaceOnce(std::string& bytes, const std::string& from,
                 const std::string& to) {
  bytes.replace(bytes.find(from), from.size(), to);
}

// Failures name the row rather than dump its bytes.
void PrintTo(const EditRow& row, std::ostream* out) { *out << row.name; }

const std::vector<EditRow>& EditRows() {
  static const std::vector<EditRow> rows = {
      {"Unchanged", [](std::string&) {}, "end", "last", "tail"},
      {"OneByteInTheFirstChunk",
       [](std::string& b) { ReplaceOnce(b, "first=one", "first=One"); },
       "top", "first", "One"},
      {"OneByteInTheLastChunk",
       [](std::string& b) { ReplaceOnce(b, "last=tail", "last=tall"); },
       "end", "last", "tall"},
      {"GrownByAKeyAtTheEnd", [](std::string& b) { b += "added=yes\n"; },
       "end", "added", "yes"},
      {"GrownByExactlyOneChunk",
       [](std::string& b) {
         b += "more=";
         b += std::string(kChunk - 6, 'm');
         b += "\n";
       },
       "end", "more", std::string(1023, 'm')},
      {"CutShortInsideTheLastKey",
       [](std::string& b) { b.resize(b.find("last=") + 3); }, "end", "last",
       "missing"},
      {"CutShortAtAChunkBoundary",
       [](std::string& b) { b.resize(3 * kChunk); }, "end", "last",
       "missing"},
      {"Emptied", [](std::string& b) { b.clear(); }, "top", "first",
       "missing"},
      {"AnEarlierSectionOfTheSameNameAdded",
       [](std::string& b) { b.insert(0, "[END]\nlast=first wins\n"); }, "end",
       "last", "first wins"},
  };
  return rows;
}

class RulesEditTest : public ::testing::TestWithParam<EditRow> {
 protected:
  TempDir dir_;
};

TEST_P(RulesEditTest, TheNextLookupSeesTheEdit) {
  const EditRow& row = GetParam();
  const std::string path = dir_.file("quendrix.ini");
  std::string bytes = OriginalRules();
  WriteFile(path, bytes);
  ASSERT_EQ(platform::Profile(path).Read("end", "last", "missing", 1024),
            "tail");

  row.edit(bytes);
  WriteFile(path, bytes);
  for (int lookup = 1; lookup <= 2; ++lookup) {
    EXPECT_EQ(platform::Profile(path).Read(row.section, row.key, "missing",
                                           1024),
              row.expected)
        << "lookup " << lookup << " after the edit";
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, RulesEditTest, ::testing::ValuesIn(EditRows()),
                         [](const auto& info) { return info.param.name; });

// A reader may take an unchanged time stamp for an unchanged file, yet some
// copy and sync tools write a file and put its old times back. An edit of
// the same size that keeps the times is seen right after the last lookup,
// and also once the file has rested longer than time stamps can be too
// coarse to tell two writes apart.
struct KeptTimesRow {
  const char* name;
  std::chrono::milliseconds rest;  // between writing the file and the lookup
};

void PrintTo(const KeptTimesRow& row, std::ostream* out) { *out << row.name; }

class RulesEditKeepingTimesTest
    : public ::testing::TestWithParam<KeptTimesRow> {
 protected:
  TempDir dir_;
};

TEST_P(RulesEditKeepingTimesTest, TheNextLookupSeesTheEdit) {
  const std::string path = dir_.file("quendrix.ini");
  WriteFile(path, "[txt]\ncommand1=first\n");
  std::this_thread::sleep_for(GetParam().rest);
  for (int lookup = 1; lookup <= 2; ++lookup) {
    ASSERT_EQ(platform::Profile(path).Read("txt", "command1", "missing", 1024),
              "first");
  }

  ASSERT_TRUE(RewriteKeepingTimes(path, "[txt]\ncommand1=later\n"));
  EXPECT_EQ(platform::Profile(path).Read("txt", "command1", "missing", 1024),
            "later");
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RulesEditKeepingTimesTest,
    ::testing::Values(KeptTimesRow{"RightAfterTheWrite", std::chrono::milliseconds(0)},
                      KeptTimesRow{"AfterTheFileRested", std::chrono::milliseconds(3500)}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quendrix::testing
