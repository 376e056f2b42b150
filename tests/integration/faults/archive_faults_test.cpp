// A faulty archive path, seen through the real plug-in. The members come
// from the rules alone, so every row lists them all; only the stamp tells
// whether the archive could be read, and a file that could not be read gets
// the platform's "no time" value. The archive is never changed or kept open.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "plugin/timestamp.h"
#include "support/fault.h"
#include "support/loaded_plugin.h"
#include "support/system_fixtures.h"

namespace quendrix::testing {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kTwoMemberRules =
    "[txt]\ncommand1=conv filein fileout\nfileout1=one.out\n"
    "command2=conv filein fileout\nfileout2=two.out\n";
constexpr std::string_view kArchiveContent = "the archive's own bytes";
// 15 March 2024, some time of day, as any stamp that is not "now" would do.
constexpr std::int64_t kArchiveSeconds = 1710510359;

enum class Stamp { kArchiveOwn, kNoTime };

struct ArchiveFaultRow {
  const char* name;
  // Makes the fault at the archive path, where a file with kArchiveContent
  // and the time kArchiveSeconds already lies.
  std::function<Fault(const std::string&)> make;
  // Whether the archive's own bytes are still there once the fault is gone.
  bool keepsBytes;
  Stamp stamp;
};

// The FileTime that this platform's hosts expect for an instant.
std::int32_t HeaderStampOf(std::int64_t seconds) {
  if (platform::kHeaderTimeKind == platform::HeaderTimeKind::kUnixSeconds) {
    return static_cast<std::int32_t>(seconds);
  }
  const platform::CalendarTime local = platform::LocalCalendarTime(seconds);
  return static_cast<std::int32_t>(PackDosDateTime(
      local.day, local.month, local.year, local.hour, local.minute,
      local.second));
}

// Failures name the row rather than dump its bytes.
void PrintTo(const ArchiveFaultRow& row, std::ostream* out) { *out << row.name; }

const std::vector<ArchiveFaultRow>& ArchiveFaultRows() {
  static const std::vector<ArchiveFaultRow> rows = {
      {"Missing",
       [](const std::string& path) {
         fs::remove(path);
         return Fault();
       },
       false, Stamp::kNoTime},
      {"HeldExclusivelyByAnotherProgram",
       [](const std::string& path) {
         return Fault(std::make_shared<ExclusiveHold>(path));
       },
       true,
       ExclusiveHoldAllowsReading() ? Stamp::kArchiveOwn : Stamp::kNoTime},
      {"Unreadable",
       [](const std::string& path) {
         auto unreadable = std::make_shared<UnreadableFile>(path);
         if (!unreadable->IsUnreadable()) {
           return Fault::Skip("the archive cannot be made unreadable here");
         }
         return Fault(unreadable);
       },
       true, Stamp::kNoTime},
      {"ADirectory",
       [](const std::string& path) {
         fs::remove(path);
         fs::create_directory(path);
         return Fault();
       },
       false, Stamp::kNoTime},
      // Opening a pipe that nobody writes to for reading would wait for
      // ever; its time can be had without waiting.
      {"ANamedPipeNobodyWrites",
       [](const std::string& path) {
         fs::remove(path);
         if (!MakeNamedPipe(path)) return Fault::Skip(NoSuchFileHere());
         platform::SetFileModifiedUnixSeconds(path, kArchiveSeconds);
         return Fault();
       },
       false, Stamp::kArchiveOwn},
  };
  return rows;
}

class ArchiveFaultTest : public ::testing::TestWithParam<ArchiveFaultRow> {
 protected:
  TempDir data_;
};

TEST_P(ArchiveFaultTest, ListsEveryMemberWithADefinedStamp) {
  const ArchiveFaultRow& row = GetParam();
  const LoadedPlugin plugin(kTwoMemberRules);
  const std::string archive = data_.file("archive.txt");
  WriteFile(archive, kArchiveContent);
  ASSERT_TRUE(platform::SetFileModifiedUnixSeconds(archive, kArchiveSeconds));

  Fault fault = row.make(archive);
  if (fault.skipReason) GTEST_SKIP() << *fault.skipReason;

  const std::int32_t expectedStamp =
      row.stamp == Stamp::kArchiveOwn
          ? HeaderStampOf(kArchiveSeconds)
          : static_cast<std::int32_t>(ArchiveHeaderTime(""));
  EXPECT_EQ(plugin.CanHandle(archive), 1);
  for (const std::int32_t mode : {PK_OM_LIST, PK_OM_EXTRACT}) {
    ASSERT_NE(plugin.Open(archive, mode).handle, nullptr) << mode;
    std::vector<std::string> names;
    Header header;
    while (names.size() < 3 && plugin.Read(header) == 0) {
      names.push_back(header.name);
      EXPECT_EQ(header.fileTime, expectedStamp) << header.name;
    }
    EXPECT_EQ(names, (std::vector<std::string>{"one.out", "two.out"}));
    EXPECT_EQ(plugin.Close(), 0);
  }

  fault = Fault();
  if (row.keepsBytes) {
    EXPECT_EQ(ReadFile(archive), kArchiveContent);
    // Nothing of the plug-in still holds the file: it can be replaced.
    fs::remove(archive);
    EXPECT_FALSE(fs::exists(archive));
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, ArchiveFaultTest, ::testing::ValuesIn(ArchiveFaultRows()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace quendrix::testing
