// The places a rules file may lie, for both path styles, and the choice
// among them.
#include "rules/rules_places.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace quendrix {
namespace {

using platform::PathStyle;

struct FoldersCase {
  const char* label;
  PathStyle style;
  std::map<std::string, std::string, std::less<>> variables;
  std::vector<std::string> expected;  // after the plug-in's folder
};

class RulesFoldersTest : public ::testing::TestWithParam<FoldersCase> {};

TEST_P(RulesFoldersTest, PlacesFollowThePluginFolderInOrder) {
  const FoldersCase& c = GetParam();
  const std::string pluginDir =
      c.style == PathStyle::kPosix ? "/opt/q/" : "C:\\Tools\\q\\";
  const std::vector<RulesFolder> folders =
      RulesFolders(c.style, pluginDir, [&](std::string_view name) {
        const auto found = c.variables.find(name);
        return found == c.variables.end() ? std::string() : found->second;
      });
  ASSERT_FALSE(folders.empty());
  EXPECT_EQ(folders[0].place, RulesPlace::kPlugin);
  EXPECT_EQ(folders[0].dir, pluginDir);
  std::vector<std::string> rest;
  for (std::size_t i = 1; i < folders.size(); ++i) rest.push_back(folders[i].dir);
  EXPECT_EQ(rest, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RulesFoldersTest,
    ::testing::Values(
        FoldersCase{"xdg_set", PathStyle::kPosix,
                    {{"XDG_CONFIG_HOME", "/home/me/cfg"}, {"HOME", "/home/me"}},
                    {"/home/me/cfg/quendrix/", "/etc/quendrix/"}},
        FoldersCase{"xdg_trailing_separators", PathStyle::kPosix,
                    {{"XDG_CONFIG_HOME", "/home/me/cfg//"}},
                    {"/home/me/cfg/quendrix/", "/etc/quendrix/"}},
        FoldersCase{"xdg_empty_means_home", PathStyle::kPosix,
                    {{"XDG_CONFIG_HOME", ""}, {"HOME", "/home/me"}},
                    {"/home/me/.config/quendrix/", "/etc/quendrix/"}},
        FoldersCase{"xdg_relative_is_ignored", PathStyle::kPosix,
                    {{"XDG_CONFIG_HOME", "cfg"}, {"HOME", "/home/me"}},
                    {"/home/me/.config/quendrix/", "/etc/quendrix/"}},
        FoldersCase{"home_is_root", PathStyle::kPosix, {{"HOME", "/"}},
                    {"/.config/quendrix/", "/etc/quendrix/"}},
        FoldersCase{"no_user_folder", PathStyle::kPosix, {}, {"/etc/quendrix/"}},
        FoldersCase{"windows_both", PathStyle::kWindows,
                    {{"APPDATA", "C:\\Users\\J\xC3\xB6rg\\AppData\\Roaming\\"},
                     {"ProgramData", "C:\\ProgramData"},
                     {"XDG_CONFIG_HOME", "/ignored"}},
                    {"C:\\Users\\J\xC3\xB6rg\\AppData\\Roaming\\quendrix\\",
                     "C:\\ProgramData\\quendrix\\"}},
        FoldersCase{"windows_unc_user", PathStyle::kWindows,
                    {{"APPDATA", "\\\\server\\profiles\\me"}},
                    {"\\\\server\\profiles\\me\\quendrix\\"}},
        FoldersCase{"windows_none", PathStyle::kWindows, {}, {}}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(RulesFoldersTest, WithoutVariablesOnlyThePluginFolderIsLookedAt) {
  const std::vector<RulesFolder> folders =
      RulesFolders(PathStyle::kPosix, "/opt/q/", nullptr);
  ASSERT_EQ(folders.size(), 1u);
  EXPECT_EQ(folders[0].dir, "/opt/q/");
}

const std::vector<RulesFolder> kFolders = {
    {RulesPlace::kPlugin, "/opt/q/"},
    {RulesPlace::kUser, "/home/me/.config/quendrix/"},
    {RulesPlace::kSystem, "/etc/quendrix/"},
};

struct ChoiceCase {
  const char* label;
  std::set<std::string> existing;
  std::string rulesPath;  // empty: none taken
  std::string logDir;
  std::size_t asked;  // how many places were asked about
};

class ChooseRulesTest : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(ChooseRulesTest, FirstExistingFileIsTakenAndNoneAfterItIsAsked) {
  const ChoiceCase& c = GetParam();
  std::vector<std::string> asked;
  const std::optional<RulesChoice> choice =
      ChooseRules(kFolders, [&](const std::string& path) {
        asked.push_back(path);
        return c.existing.count(path) != 0;
      });
  EXPECT_EQ(asked.size(), c.asked);
  if (c.rulesPath.empty()) {
    EXPECT_FALSE(choice.has_value());
    return;
  }
  ASSERT_TRUE(choice.has_value());
  EXPECT_EQ(choice->rulesPath, c.rulesPath);
  EXPECT_EQ(choice->logDir, c.logDir);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ChooseRulesTest,
    ::testing::Values(
        ChoiceCase{"plugin_wins",
                   {"/opt/q/quendrix.ini", "/home/me/.config/quendrix/quendrix.ini",
                    "/etc/quendrix/quendrix.ini"},
                   "/opt/q/quendrix.ini", "/opt/q/", 1},
        ChoiceCase{"user_over_system",
                   {"/home/me/.config/quendrix/quendrix.ini", "/etc/quendrix/quendrix.ini"},
                   "/home/me/.config/quendrix/quendrix.ini",
                   "/home/me/.config/quendrix/", 2},
        ChoiceCase{"system_logs_into_user_folder", {"/etc/quendrix/quendrix.ini"},
                   "/etc/quendrix/quendrix.ini", "/home/me/.config/quendrix/", 3},
        ChoiceCase{"none", {}, "", "", 3}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(ChooseRulesTest, SystemRulesWithoutUserFolderLogNowhere) {
  const std::optional<RulesChoice> choice = ChooseRules(
      {{RulesPlace::kPlugin, "C:\\q\\"}, {RulesPlace::kSystem, "C:\\ProgramData\\quendrix\\"}},
      [](const std::string& path) { return path.rfind("C:\\ProgramData", 0) == 0; });
  ASSERT_TRUE(choice.has_value());
  EXPECT_EQ(choice->rulesPath, "C:\\ProgramData\\quendrix\\quendrix.ini");
  EXPECT_EQ(choice->logDir, "");
}

}  // namespace
}  // namespace quendrix
