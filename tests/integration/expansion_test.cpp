// Template expansion with the platform's own environment and short paths:
// member names through the exports of the real plug-in, command lines
// through a Plugin in this process, which keeps them where a test can see
// them before anything runs.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "plugin/plugin.h"
#include "format/shell_words.h"
#include "support/loaded_plugin.h"
#include "support/scoped_environment.h"
#include "support/windows_build.h"

namespace quendrix::testing {
namespace {

namespace fs = std::filesystem;
using platform::PathStyle;


// A path as the command line of this platform holds it when it is inserted
// outside quotes.
std::string AsInserted(const std::string& path) {
  return kWindows ? path : QuoteFor(QuoteState::kUnquoted, path);
}

// The command stored for member `n` when the plug-in in `pluginDir` has
// opened `archive`.
std::string StoredCommand(const TempDir& pluginDir, const std::string& archive,
                          std::int32_t n = 1) {
  Plugin plugin(pluginDir.str(), PluginServices::Platform());
  std::string name = archive;
  tOpenArchiveData data{};
  data.ArcName = name.data();
  data.OpenMode = PK_OM_LIST;
  const std::shared_ptr<const Session> session =
      plugin.SessionOf(plugin.OpenArchive(&data));
  EXPECT_NE(session, nullptr) << archive;
  const Entry* entry =
      session != nullptr ? session->rules.entryTable.Find(n) : nullptr;
  return entry != nullptr ? entry->command : std::string("(no entry)");
}

TEST(ExpansionThroughExportsTest, MemberNamesShowBaseNameAndExtension) {
  const LoadedPlugin plugin(
      "[doc]\n"
      "command1=conv filein fileout\nfileout1=[N]_[E].out\n"
      "command2=conv\nfileout2=[n] [N].[E] filein\n");
  TempDir data;
  const std::vector<std::string> expected = {"report.final_doc.out",
                                             "[n] report.final.doc filein"};
  EXPECT_EQ(plugin.List(data.file("report.final.doc")), expected);
}

TEST(PlatformExpansionTest, CommandTakesEnvironmentPluginDirectoryAndNames) {
  TempDir pluginDir;
  WriteFile(pluginDir.file("quendrix.ini"),
            "[doc]\n"
            "command1=%QUENDRIX_EXPANSION_TOOLS%conv filein fileout\nfileout1=a\n"
            "command2=conv -o [N].[E].txt\nfileout2=b\n");
  const std::string tools = kWindows ? R"(C:\quendrix tools\)" : "/opt/quendrix tools/";
  const ScopedEnvironmentValue variable("QUENDRIX_EXPANSION_TOOLS", tools);
  TempDir data;
  const std::string archive = data.file("report.final.doc");

  EXPECT_EQ(StoredCommand(pluginDir, archive, 1),
            tools + "conv " + AsInserted(archive) + " fileout");
  EXPECT_EQ(StoredCommand(pluginDir, archive, 2),
            AsInserted(pluginDir.str()) + "conv -o report.final.doc.txt");
}

TEST(PlatformExpansionTest, UnsetVariableLeavesItsToken) {
  TempDir pluginDir;
  WriteFile(pluginDir.file("quendrix.ini"),
            "[doc]\ncommand1=%QUENDRIX_EXPANSION_UNSET%conv\nfileout1=a\n");
  const ScopedEnvironmentValue variable("QUENDRIX_EXPANSION_UNSET", std::nullopt);
  TempDir data;
  EXPECT_EQ(StoredCommand(pluginDir, data.file("a.doc")), "%QUENDRIX_EXPANSION_UNSET%conv");
}

// Windows gives a directory with a long name and a blank its 8.3 form; Linux
// has no short names, and an existing path stands for itself.
TEST(PlatformExpansionTest, ShortFileNameUsesTheSystemsShortForm) {
  TempDir pluginDir;
  WriteFile(pluginDir.file("quendrix.ini"),
            "[doc]\nShortFileName=1\ncommand1=conv filein\nfileout1=a\n");
  TempDir data;
  const fs::path longDirectory = data.path() / "A long directory name";
  fs::create_directory(longDirectory);
  const std::string archive = (longDirectory / "report file.doc").string();
  WriteFile(archive, "x");

  const std::string shortPath = platform::ShortPathOf(archive);
  ASSERT_FALSE(shortPath.empty());
  EXPECT_TRUE(fs::equivalent(shortPath, archive)) << shortPath;
  if constexpr (kWindows) {
    EXPECT_EQ(shortPath.find(' '), std::string::npos) << shortPath;
    EXPECT_EQ(shortPath.find("A long directory name"), std::string::npos) << shortPath;
  } else {
    EXPECT_EQ(shortPath, archive);
  }
  EXPECT_EQ(StoredCommand(pluginDir, archive),
            AsInserted(pluginDir.str()) + "conv " + AsInserted(shortPath));

  // A file that is not there has no short form: the path stays whole.
  const std::string missing = (longDirectory / "missing file.doc").string();
  EXPECT_EQ(platform::ShortPathOf(missing), "");
  EXPECT_EQ(StoredCommand(pluginDir, missing),
            AsInserted(pluginDir.str()) + "conv " + AsInserted(missing));
}

TEST(PlatformEnvironmentTest, SeesVariablesSetInTheProcess) {
  {
    const ScopedEnvironmentValue variable("QUENDRIX_EXPANSION_VALUE", "v a l");
    EXPECT_EQ(platform::EnvironmentValue("QUENDRIX_EXPANSION_VALUE"), "v a l");
    // Windows names ignore case; Linux names do not.
    EXPECT_EQ(platform::EnvironmentValue("quendrix_expansion_value"),
              kWindows ? "v a l" : "");
    const std::string longValue(5000, 'v');
    const ScopedEnvironmentValue longVariable("QUENDRIX_EXPANSION_LONG", longValue);
    EXPECT_EQ(platform::EnvironmentValue("QUENDRIX_EXPANSION_LONG"), longValue);
  }
  EXPECT_EQ(platform::EnvironmentValue("QUENDRIX_EXPANSION_VALUE"), "");
}

}  // namespace
}  // namespace quendrix::testing
