// A faulty rules file, or a faulty path where the rules file should be, seen
// through the real plug-in. Every row gets a defined answer: the probe and
// the open either refuse the file or list exactly the members the rules
// name; nothing hangs, nothing of an earlier lookup shows, and the rules
// file itself is never changed.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "support/fault.h"
#include "support/loaded_plugin.h"
#include "support/system_fixtures.h"

namespace quendrix::testing {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kTwoMembers =
    "[txt]\ncommand1=conv filein fileout\nfileout1=one.out\n"
    "command2=conv filein fileout\nfileout2=two.out\n";

constexpr std::size_t kMegabyte = std::size_t{1} << 20;

// What the host sees. `members` 0 means refused: CanYouHandleThisFile says
// no and OpenArchive fails with E_NOT_SUPPORTED.
struct RulesOutcome {
  int probe = 0;
  std::size_t members = 0;
  std::string first;
  std::string last;
};

const RulesOutcome kRefused{};
const RulesOutcome kListed{1, 2, "one.out", "two.out"};

// Where one row lays its fault: the rules path of a plug-in loaded with
// kTwoMembers. A row that writes the file records the bytes it wrote, which
// must still be there when the row is done.
struct RulesStage {
  std::string rulesPath;
  std::optional<std::string> bytes;

  void Write(std::string rules) {
    WriteFile(rulesPath, rules);
    bytes = std::move(rules);
  }
  // An editor's save: a new file renamed over the old one.
  void Replace(std::string rules) {
    const std::string fresh = rulesPath + ".new";
    WriteFile(fresh, rules);
    fs::rename(fresh, rulesPath);
    bytes = std::move(rules);
  }
  void Remove() {
    fs::remove(rulesPath);
    bytes.reset();
  }
};

struct RulesFaultRow {
  const char* name;
  // Before the probe; returns what must stay alive while the row runs.
  std::function<Fault(RulesStage&)> beforeProbe;
  // Between the probe and the open, when the row changes the file there.
  std::function<void(RulesStage&)> betweenProbeAndOpen;
  RulesOutcome expected;
};

// Sections of other extensions, about `size` bytes in all, ahead of the
// section the lookup wants.
std::string FillerSections(std::size_t size) {
  std::string bytes;
  bytes.reserve(size + 128);
  for (std::size_t n = 0; bytes.size() < size; ++n) {
    if (n % 100 == 0) bytes += "[other" + std::to_string(n / 100) + "]\r\n";
    bytes += "command" + std::to_string(n % 100 + 1) +
             "=/usr/bin/convert --quality 90 filein fileout\r\n";
  }
  return bytes;
}

std::string PairsUpTo(int count) {
  std::string bytes = "[txt]\n";
  for (int n = 1; n <= count; ++n) {
    const std::string number = std::to_string(n);
    bytes += "command" + number + "=c\nfileout" + number + "=m" + number + "\n";
  }
  return bytes;
}

// Failures name the row rather than dump its bytes.
void PrintTo(const RulesFaultRow& row, std::ostream* out) { *out << row.name; }

const std::vector<RulesFaultRow>& RulesFaultRows() {
  static const std::vector<RulesFaultRow> rows = {
      {"Missing",
       [](RulesStage& s) {
         s.Remove();
         return Fault();
       },
       nullptr, kRefused},
      {"Unreadable",
       [](RulesStage& s) {
         auto unreadable = std::make_shared<UnreadableFile>(s.rulesPath);
         if (!unreadable->IsUnreadable()) {
           return Fault::Skip("the rules file cannot be made unreadable here");
         }
         return Fault(unreadable);
       },
       nullptr, kRefused},
      {"ADirectory",
       [](RulesStage& s) {
         s.Remove();
         fs::create_directory(s.rulesPath);
         return Fault();
       },
       nullptr, kRefused},
      {"ANamedPipeNobodyWrites",
       [](RulesStage& s) {
         s.Remove();
         return MakeNamedPipe(s.rulesPath) ? Fault()
                                           : Fault::Skip(NoSuchFileHere());
       },
       nullptr, kRefused},
      {"AFileWhoseReadsFail",
       [](RulesStage& s) {
         s.Remove();
         return MakeFileWhoseReadsFail(s.rulesPath)
                    ? Fault()
                    : Fault::Skip(NoSuchFileHere());
       },
       nullptr, kRefused},
      {"DeletedBetweenProbeAndOpen", nullptr,
       [](RulesStage& s) { s.Remove(); },
       {1, 0, "", ""}},
      {"ReplacedBetweenProbeAndOpen", nullptr,
       [](RulesStage& s) {
         s.Replace("[txt]\ncommand1=c\nfileout1=new.out\n");
       },
       {1, 1, "new.out", "new.out"}},
      {"ReplacedByADirectoryBetweenProbeAndOpen", nullptr,
       [](RulesStage& s) {
         s.Remove();
         fs::create_directory(s.rulesPath);
       },
       {1, 0, "", ""}},
      {"FiftyMegabytesWithItsSectionLast",
       [](RulesStage& s) {
         s.Write(FillerSections(50 * kMegabyte) + std::string(kTwoMembers));
         return Fault();
       },
       nullptr, kListed},
      {"AOneMegabyteLineBeforeTheSection",
       [](RulesStage& s) {
         s.Write(std::string(kMegabyte, 'x') + "\n" + std::string(kTwoMembers));
         return Fault();
       },
       nullptr, kListed},
      {"AOneMegabyteSectionHeader",
       [](RulesStage& s) {
         s.Write("[" + std::string(kMegabyte, 's') + "]\ncommand1=c\n" +
                 std::string(kTwoMembers));
         return Fault();
       },
       nullptr, kListed},
      {"AOneMegabyteCommandAndMemberName",
       [](RulesStage& s) {
         s.Write("[txt]\ncommand1=" + std::string(kMegabyte, 'c') +
                 "\nfileout1=" + std::string(kMegabyte, 'n') + "\n");
         return Fault();
       },
       nullptr,
       {1, 1, std::string(259, 'n'), std::string(259, 'n')}},
      {"FortyThousandPairs",
       [](RulesStage& s) {
         s.Write(PairsUpTo(40000));
         return Fault();
       },
       nullptr, {1, 32767, "m1", "m32767"}},
  };
  return rows;
}

class RulesFileFaultTest : public ::testing::TestWithParam<RulesFaultRow> {
 protected:
  TempDir data_;
};

TEST_P(RulesFileFaultTest, HasADefinedAnswerAndChangesNothing) {
  const RulesFaultRow& row = GetParam();
  const LoadedPlugin plugin(kTwoMembers);
  RulesStage stage{plugin.file("quendrix.ini"), std::string(kTwoMembers)};
  const std::string archive = data_.file("a.txt");
  WriteFile(archive, "archive");

  Fault fault;
  if (row.beforeProbe) fault = row.beforeProbe(stage);
  if (fault.skipReason) GTEST_SKIP() << *fault.skipReason;

  EXPECT_EQ(plugin.CanHandle(archive), row.expected.probe);
  if (row.betweenProbeAndOpen) row.betweenProbeAndOpen(stage);

  const OpenOutcome opened = plugin.Open(archive);
  Header header;
  std::vector<std::string> names;
  if (row.expected.members == 0) {
    EXPECT_EQ(opened.handle, nullptr);
    EXPECT_EQ(opened.openResult, 24);
  } else {
    EXPECT_NE(opened.handle, nullptr);
  }
  // Read on until the end, a bounded number of times, whatever the open
  // said: a refused file gives no handle, and reading on it shows nothing.
  while (names.size() <= 40000 && plugin.Read(header) == 0) {
    names.push_back(header.name);
  }
  const bool refused = opened.handle == nullptr;
  EXPECT_EQ(plugin.Read(header), refused ? E_BAD_ARCHIVE : E_END_ARCHIVE)
      << "the end of the list stays the end";
  EXPECT_EQ(plugin.Close(), refused ? E_ECLOSE : 0);

  ASSERT_EQ(names.size(), row.expected.members);
  if (!names.empty()) {
    EXPECT_EQ(names.front(), row.expected.first);
    EXPECT_EQ(names.back(), row.expected.last);
  }

  fault = Fault();  // puts the file back as it was
  if (stage.bytes) {
    EXPECT_TRUE(ReadFile(stage.rulesPath) == *stage.bytes)
        << "the rules file was changed";
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, RulesFileFaultTest, ::testing::ValuesIn(RulesFaultRows()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace quendrix::testing
