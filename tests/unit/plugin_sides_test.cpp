// The two sides of the plug-in: sessions opened through the ANSI functions
// and through the wide ones, each with its own directory text, services and
// progress callback; recorded instead of done, so this runs on any system.
#include "plugin/plugin.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quendrix {
namespace {

// Section [txt] lists one member whose command holds the destination.
class OneMemberRules final : public RulesSource {
 public:
  std::string Read(std::string_view section, std::string_view key,
                   std::string_view defaultValue, std::size_t) const override {
    if (section != "txt") return std::string(defaultValue);
    if (key == "command1") return "/bin/conv fileout";
    if (key == "fileout1") return "[N].out";
    return std::string(defaultValue);
  }
};

// What the services of one side were asked.
struct Calls {
  std::vector<std::string> rulesPaths;
  std::vector<std::string> commands;
};

PluginSide RecordingSide(std::string pluginDir, Calls& calls) {
  PluginServices services;
  services.pathStyle = platform::PathStyle::kPosix;
  services.openRules = [&calls](const std::string& path) {
    calls.rulesPaths.push_back(path);
    return std::make_unique<OneMemberRules>();
  };
  services.archiveTime = [](const std::string&) { return 7u; };
  services.runCommand = [&calls](const std::string& line, std::uint32_t,
                                 const platform::ProcessWatch*) {
    calls.commands.push_back(line);
    return platform::ProcessOutcome::Started(0);
  };
  return {std::move(pluginDir), std::move(services)};
}

TEST(PluginSidesTest, EachSessionUsesTheSideOfTheFunctionThatOpenedIt) {
  Calls system, utf8;
  Plugin plugin(RecordingSide("/sys/", system), RecordingSide("/utf/", utf8));

  std::u16string wideName = u"/d/\u0436.txt";
  tOpenArchiveDataW wideData{wideName.data(), PK_OM_EXTRACT, -1};
  const ArchiveHandle wide = plugin.OpenArchiveW(&wideData);
  ASSERT_NE(wide, nullptr);
  std::string ansiName = "/d/a.txt";
  tOpenArchiveData ansiData{ansiName.data(), PK_OM_EXTRACT, -1};
  const ArchiveHandle ansi = plugin.OpenArchive(&ansiData);
  ASSERT_NE(ansi, nullptr);
  EXPECT_EQ(system.rulesPaths, std::vector<std::string>{"/sys/quendrix.ini"});
  EXPECT_EQ(utf8.rulesPaths, std::vector<std::string>{"/utf/quendrix.ini"});

  tHeaderDataExW header{};
  ASSERT_EQ(plugin.ReadHeaderExW(wide, &header), 0);
  EXPECT_EQ(std::u16string(header.FileName), u"\u0436.out");
  EXPECT_EQ(header.FileTime, 7);
  std::u16string dest = u"/o/\U0001F600";
  // The recorded program writes no file, which is what the plug-in says.
  EXPECT_EQ(plugin.ProcessFileW(wide, PK_EXTRACT, nullptr, dest.data()), E_ECREATE);
  EXPECT_EQ(utf8.commands, std::vector<std::string>{"/bin/conv '/o/\xF0\x9F\x98\x80'"});

  tHeaderData ansiHeader{};
  ASSERT_EQ(plugin.ReadHeader(ansi, &ansiHeader), 0);
  EXPECT_EQ(std::string(ansiHeader.FileName), "a.out");
  char ansiDest[] = "/o/b";
  EXPECT_EQ(plugin.ProcessFile(ansi, PK_EXTRACT, nullptr, ansiDest), E_ECREATE);
  EXPECT_EQ(system.commands, std::vector<std::string>{"/bin/conv /o/b"});
  EXPECT_EQ(utf8.commands.size(), 1u);

  EXPECT_EQ(plugin.CloseArchive(wide), 0);
  EXPECT_EQ(plugin.CloseArchive(ansi), 0);
  EXPECT_EQ(plugin.CanYouHandleThisFileW(u"/d/x.txt"), 1);
  EXPECT_EQ(plugin.CanYouHandleThisFileW(nullptr), 0);
  EXPECT_EQ(utf8.rulesPaths.size(), 3u);
}

int QUENDRIX_WCX_CALL OwnAnsi(char*, int) { return 1; }
int QUENDRIX_WCX_CALL EveryAnsi(char*, int) { return 1; }
int QUENDRIX_WCX_CALL OwnWide(char16_t*, int) { return 1; }
int QUENDRIX_WCX_CALL EveryWide(char16_t*, int) { return 1; }

// A session reports to a callback of the kind of the function that opened
// it, its own before the one for every handle, and to the other kind only
// when its own kind has none.
TEST(PluginSidesTest, ASessionReportsToOneCallbackChosenByItsKind) {
  struct Case {
    const char* label;
    bool openedWide;
    ProcessDataProc ownAnsi, everyAnsi;
    ProcessDataProcW ownWide, everyWide;
    ProcessDataProc expectedAnsi;
    ProcessDataProcW expectedWide;
  };
  const Case cases[] = {
      {"wide session, both own", true, OwnAnsi, nullptr, OwnWide, nullptr, nullptr, OwnWide},
      {"wide session, every wide before own ANSI", true, OwnAnsi, nullptr, nullptr, EveryWide, nullptr, EveryWide},
      {"wide session, ANSI only", true, OwnAnsi, EveryAnsi, nullptr, nullptr, OwnAnsi, nullptr},
      {"ANSI session, both own", false, OwnAnsi, nullptr, OwnWide, nullptr, OwnAnsi, nullptr},
      {"ANSI session, every ANSI", false, nullptr, EveryAnsi, OwnWide, nullptr, EveryAnsi, nullptr},
      {"ANSI session, wide only", false, nullptr, nullptr, nullptr, EveryWide, nullptr, EveryWide},
      {"none", true, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
  };
  for (const Case& c : cases) {
    Calls system, utf8;
    Plugin plugin(RecordingSide("/sys/", system), RecordingSide("/utf/", utf8));
    std::u16string wideName = u"/d/a.txt";
    std::string ansiName = "/d/a.txt";
    tOpenArchiveDataW wideData{wideName.data(), PK_OM_LIST, 0};
    tOpenArchiveData ansiData{ansiName.data(), PK_OM_LIST, 0};
    const ArchiveHandle handle =
        c.openedWide ? plugin.OpenArchiveW(&wideData) : plugin.OpenArchive(&ansiData);
    ASSERT_NE(handle, nullptr) << c.label;
    plugin.SetProcessDataProc(handle, c.ownAnsi);
    plugin.SetProcessDataProc(kEveryHandle, c.everyAnsi);
    plugin.SetProcessDataProcW(handle, c.ownWide);
    plugin.SetProcessDataProcW(kEveryHandle, c.everyWide);
    const ProgressCallback callback = plugin.ProgressCallbackOf(*plugin.SessionOf(handle));
    EXPECT_EQ(callback.ansi, c.expectedAnsi) << c.label;
    EXPECT_EQ(callback.wide, c.expectedWide) << c.label;
  }
}

}  // namespace
}  // namespace quendrix
