// The eight exports of the real plug-in, loaded from a directory of its own.
#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/loaded_plugin.h"
#include "support/local_stamp.h"

namespace quendrix::testing {
namespace {

using Names = std::vector<std::string>;

constexpr std::string_view kThreeMembers =
    "[txt]\n"
    "command1=conv filein fileout\nfileout1=one.out\n"
    "command2=conv filein fileout\nfileout2=two.out\n"
    "command3=conv filein fileout\nfileout3=three.out\n";

class ExportsTest : public ::testing::Test {
 protected:
  TempDir data_;
};

TEST_F(ExportsTest, AnswersCapabilities) {
  const LoadedPlugin plugin("");
  EXPECT_EQ(plugin.Caps(), 448);
}

// Windows hosts get the wide functions; Linux hosts would switch to UTF-16
// for nothing, as the ANSI functions already get UTF-8 there.
TEST_F(ExportsTest, OnlyTheWindowsPlugInHasTheWideFunctions) {
  const LoadedPlugin plugin("");
  EXPECT_EQ(plugin.HasWideFunctions(),
            platform::kPathStyle == platform::PathStyle::kWindows);
  for (const auto* function :
       {reinterpret_cast<const void*>(plugin.openArchiveW),
        reinterpret_cast<const void*>(plugin.readHeaderExW),
        reinterpret_cast<const void*>(plugin.processFileW),
        reinterpret_cast<const void*>(plugin.setChangeVolProcW),
        reinterpret_cast<const void*>(plugin.setProcessDataProcW),
        reinterpret_cast<const void*>(plugin.canYouHandleThisFileW)}) {
    EXPECT_EQ(function != nullptr, plugin.HasWideFunctions());
  }
}

TEST_F(ExportsTest, ListsOneMemberPerPairThenEndsForGood) {
  const LoadedPlugin plugin(kThreeMembers);
  const OpenOutcome opened = plugin.Open(data_.file("a.txt"));
  ASSERT_NE(opened.handle, nullptr);
  EXPECT_EQ(opened.openResult, -1) << "OpenResult is left alone on success";

  Header header;
  for (const char* expected : {"one.out", "two.out", "three.out"}) {
    ASSERT_EQ(plugin.Read(header), 0);
    EXPECT_EQ(header.name, expected);
    EXPECT_EQ(header.packSize, 1);
    EXPECT_EQ(header.unpSize, 1);
  }
  for (int i = 0; i < 3; ++i) EXPECT_EQ(plugin.Read(header), 10);
  EXPECT_EQ(plugin.Close(), 0);
}

TEST_F(ExportsTest, RefusesFilesWithoutRules) {
  const LoadedPlugin plugin(kThreeMembers);
  for (const std::string& path :
       {data_.file("a.doc"), data_.file("txt"), data_.file("a.txt.bak"),
        std::string()}) {
    const OpenOutcome opened = plugin.Open(path);
    EXPECT_EQ(opened.handle, nullptr) << path;
    EXPECT_EQ(opened.openResult, 24) << path;
    EXPECT_EQ(plugin.CanHandle(path), 0) << path;
  }
  EXPECT_EQ(plugin.CanHandle(data_.file("a.TXT")), 1);
}

TEST_F(ExportsTest, ARefusedFileLeavesTheOpenListAlone) {
  const LoadedPlugin plugin(kThreeMembers);
  const ArchiveHandle first = plugin.Open(data_.file("a.txt")).handle;
  ASSERT_NE(first, nullptr);
  Header header;
  ASSERT_EQ(plugin.Read(first, header), 0);
  // A name without a dot, and an odd open mode after a good lookup.
  EXPECT_EQ(plugin.Open(data_.file("README")).handle, nullptr);
  EXPECT_EQ(plugin.Open(data_.file("b.txt"), 3).handle, nullptr);
  EXPECT_EQ(plugin.CanHandle(data_.file("README")), 0);
  ASSERT_EQ(plugin.Read(first, header), 0);
  EXPECT_EQ(header.name, "two.out");
}

// Handles are numbers that stay apart while their sessions are open, never
// 0 or -1, and fit a signed 32-bit integer for hosts that keep them so.
TEST_F(ExportsTest, EveryOpenGivesAHandleOfItsOwn) {
  const LoadedPlugin plugin(kThreeMembers);
  const std::string archive = data_.file("a.txt");
  std::vector<ArchiveHandle> handles;
  for (int i = 0; i < 6; ++i) {
    const OpenOutcome opened =
        plugin.Open(archive, i % 2 == 0 ? PK_OM_LIST : PK_OM_EXTRACT);
    const auto value = reinterpret_cast<std::uintptr_t>(opened.handle);
    EXPECT_GE(value, 1u);
    EXPECT_LE(value, 0x7FFFFFFFu);
    for (const ArchiveHandle other : handles) EXPECT_NE(opened.handle, other);
    handles.push_back(opened.handle);
  }
  const OpenOutcome odd = plugin.Open(archive, 7);
  EXPECT_EQ(odd.handle, nullptr);
  EXPECT_EQ(odd.openResult, 24);
  for (const ArchiveHandle handle : handles) EXPECT_EQ(plugin.Close(handle), 0);
}

TEST_F(ExportsTest, SkipAndTestWalkOnThroughTheList) {
  const LoadedPlugin plugin(kThreeMembers);
  ASSERT_NE(plugin.Open(data_.file("a.txt"), PK_OM_EXTRACT).handle, nullptr);
  Header header;
  ASSERT_EQ(plugin.Read(header), 0);
  EXPECT_EQ(plugin.Process(PK_SKIP, nullptr), 0);
  ASSERT_EQ(plugin.Read(header), 0);
  EXPECT_EQ(plugin.Process(PK_TEST, nullptr), 0);
  ASSERT_EQ(plugin.Read(header), 0);
  EXPECT_EQ(header.name, "three.out");
}

TEST_F(ExportsTest, SynonymSectionIsListed) {
  const LoadedPlugin plugin(
      "[doc]\nsynonym=txt\n[txt]\ncommand1=c\nfileout1=from-txt\nsynonym=doc\n");
  EXPECT_EQ(plugin.List(data_.file("x.DOC")), Names{"from-txt"});
}

TEST_F(ExportsTest, RulesAreReadAfreshAtEveryOpen) {
  const LoadedPlugin plugin("[txt]\ncommand1=c\nfileout1=first\n");
  EXPECT_EQ(plugin.List(data_.file("a.txt")), Names{"first"});
  // Same size, saved at once: must still be seen.
  plugin.WriteRules("[txt]\ncommand1=c\nfileout1=secnd\n");
  EXPECT_EQ(plugin.List(data_.file("a.txt")), Names{"secnd"});
  plugin.WriteRules("[txt]\ncommand1=c\nfileout1=a\ncommand2=c\nfileout2=b\n");
  EXPECT_EQ(plugin.List(data_.file("a.txt")), (Names{"a", "b"}));
}

TEST_F(ExportsTest, MissingRulesFileRefusesEverything) {
  const LoadedPlugin plugin("[txt]\ncommand1=c\nfileout1=f\n");
  std::filesystem::remove(plugin.file("quendrix.ini"));
  EXPECT_EQ(plugin.CanHandle(data_.file("a.txt")), 0);
  EXPECT_EQ(plugin.Open(data_.file("a.txt")).openResult, 24);
}

TEST_F(ExportsTest, MemberNamesAreCutTo259Characters) {
  const std::string longName(300, 'n');
  const LoadedPlugin plugin("[txt]\ncommand1=c\nfileout1=" + longName + "\n");
  EXPECT_EQ(plugin.List(data_.file("a.txt")), Names{longName.substr(0, 259)});
}

TEST_F(ExportsTest, ListOf32767MembersEndsAfterTheLast) {
  std::string rules = "[txt]\n";
  for (int n = 1; n <= 32768; ++n) {
    rules += "command" + std::to_string(n) + "=c\nfileout" + std::to_string(n) +
             "=m" + std::to_string(n) + "\n";
  }
  const LoadedPlugin plugin(rules);
  ASSERT_NE(plugin.Open(data_.file("a.txt")).handle, nullptr);
  Header header;
  int listed = 0;
  while (listed < 40000 && plugin.Read(header) == 0) ++listed;
  EXPECT_EQ(listed, 32767);
  EXPECT_EQ(header.name, "m32767");
  for (int i = 0; i < 3; ++i) EXPECT_EQ(plugin.Read(header), 10);
}

TEST_F(ExportsTest, NullPointersFromTheHostAreHarmless) {
  const LoadedPlugin plugin(kThreeMembers);
  EXPECT_EQ(plugin.openArchive(nullptr), nullptr);
  tOpenArchiveData data{};
  data.ArcName = nullptr;
  data.OpenMode = PK_OM_LIST;
  EXPECT_EQ(plugin.openArchive(&data), nullptr);
  EXPECT_EQ(data.OpenResult, 24);
  EXPECT_EQ(plugin.canYouHandleThisFile(nullptr), 0);
  const ArchiveHandle handle = plugin.Open(data_.file("a.txt")).handle;
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(plugin.readHeader(handle, nullptr), 0);
  // A null destination counts as empty text; the member's program "conv"
  // does not exist, which is reported, not a crash.
  EXPECT_EQ(plugin.Process(PK_EXTRACT, nullptr, nullptr), E_ECREATE);
  plugin.setChangeVolProc(handle, nullptr);
  plugin.setProcessDataProc(handle, nullptr);
  plugin.setChangeVolProc(nullptr, nullptr);
  plugin.setProcessDataProc(nullptr, nullptr);
}

TEST_F(ExportsTest, HeaderFieldsBeyondTheNamedOnesAreLeftAlone) {
  const LoadedPlugin plugin(kThreeMembers);
  const ArchiveHandle handle = plugin.Open(data_.file("a.txt")).handle;
  ASSERT_NE(handle, nullptr);
  tHeaderData data;
  std::memset(&data, 0x5A, sizeof data);
  ASSERT_EQ(plugin.readHeader(handle, &data), 0);
  EXPECT_EQ(data.ArcName[0], 0x5A);
  EXPECT_EQ(data.Flags, 0x5A5A5A5A);
  EXPECT_EQ(data.HostOS, 0x5A5A5A5A);
  EXPECT_EQ(data.FileCRC, 0x5A5A5A5A);
  EXPECT_EQ(data.FileName[8], 0x5A) << "nothing past the name's zero";
}

// The stamp: Windows hosts read a packed local DOS time, Linux hosts Unix
// seconds.
TEST_F(ExportsTest, EveryMemberCarriesTheArchiveStamp) {
  const LoadedPlugin plugin(kThreeMembers);
  const std::string archive = data_.file("stamped.txt");
  WriteFile(archive, "content");
  const std::int64_t seconds = LocalStampSeconds();
  ASSERT_TRUE(platform::SetFileModifiedUnixSeconds(archive, seconds));

  const std::int32_t expected =
      platform::kHeaderTimeKind == platform::HeaderTimeKind::kDosDateTime
          ? static_cast<std::int32_t>(kLocalStampDos)
          : static_cast<std::int32_t>(seconds);
  ASSERT_NE(plugin.Open(archive).handle, nullptr);
  Header header;
  while (plugin.Read(header) == 0) EXPECT_EQ(header.fileTime, expected);
}

TEST_F(ExportsTest, MissingArchiveStillListsWithTheFallbackStamp) {
  const LoadedPlugin plugin(kThreeMembers);
  const std::int32_t expected =
      platform::kHeaderTimeKind == platform::HeaderTimeKind::kDosDateTime
          ? static_cast<std::int32_t>(0x88000000u)
          : 0;
  for (const std::string& archive :
       {data_.file("missing.txt"), data_.str() + "wild*card.txt"}) {
    ASSERT_NE(plugin.Open(archive).handle, nullptr) << archive;
    Header header;
    ASSERT_EQ(plugin.Read(header), 0);
    EXPECT_EQ(header.fileTime, expected) << archive;
  }
}

}  // namespace
}  // namespace quendrix::testing
