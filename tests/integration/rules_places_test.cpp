// Where the real plug-in finds its rules: its own folder, then the user's
// configuration folder, then the system's; and where the log of each goes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/loaded_plugin.h"
#include "support/scoped_environment.h"
#include "support/temp_dir.h"
#include "support/windows_build.h"

namespace quendrix::testing {
namespace {

namespace fs = std::filesystem;
using platform::TextEncoding;

// Rules whose one member is named after the place they lie in, so that a
// listing shows which file was taken; extracting it logs its command line.
std::string RulesOf(std::string_view place) {
  return "[txt]\nlog=1\ncommand1=no-such-program fileout\nfileout1=from-" +
         std::string(place) + "\n";
}

enum Place { kNone, kPlugin, kUser, kSystem };

// The places of this platform, set up in a temporary directory: the user's
// folder through XDG_CONFIG_HOME (Linux) or APPDATA (Windows), and the
// system's through ProgramData (Windows; on Linux it is /etc/quendrix, which
// tests do not write).
class RulesPlacesTest : public ::testing::Test {
 protected:
  static constexpr std::string_view kUserBase = "user config";

  // Points the user's folder at `base` inside the temporary directory
  // (UTF-8) and the system's at its "program data" folder.
  void SetPlaces(std::string_view base) {
    userBase_ = config_.utf8File(base);
    fs::create_directories(PathOfUtf8(userBase_));
    user_.emplace(kWindows ? "APPDATA" : "XDG_CONFIG_HOME", userBase_,
                  TextEncoding::kUtf8);
    system_.emplace("ProgramData", config_.utf8File("program data"),
                    TextEncoding::kUtf8);
  }

  std::string Separator() const { return std::string(1, platform::kPathSeparator); }
  std::string UserDir() const { return userBase_ + Separator() + "quendrix" + Separator(); }
  std::string SystemDir() const {
    return config_.utf8File("program data") + Separator() + "quendrix" + Separator();
  }
  std::string DirOf(Place place) const {
    switch (place) {
      case kPlugin: return plugin_.dirUtf8();
      case kUser: return UserDir();
      case kSystem: return SystemDir();
      case kNone: break;
    }
    return {};
  }
  void PutRules(Place place) {
    if (place == kPlugin) {
      plugin_.WriteRules(RulesOf("plugin"));
      return;
    }
    fs::create_directories(PathOfUtf8(DirOf(place)));
    WriteFile(PathOfUtf8(DirOf(place) + "quendrix.ini"),
              RulesOf(place == kUser ? "user" : "system"));
  }

  // Extracts the one member through the ANSI or the wide functions, so
  // that its command line is logged.
  void ExtractFirst(bool wide) {
    const std::string archive = data_.utf8File("notes.txt");
    const std::string dest = data_.utf8File("out");
    if (wide) {
      const OpenOutcome open = plugin_.OpenW(archive, PK_OM_EXTRACT);
      ASSERT_NE(open.handle, nullptr);
      Header header;
      ASSERT_EQ(plugin_.ReadW(open.handle, header), 0);
      plugin_.ProcessW(open.handle, PK_EXTRACT, dest);
      plugin_.Close(open.handle);
    } else {
      const OpenOutcome open = plugin_.Open(data_.file("notes.txt"), PK_OM_EXTRACT);
      ASSERT_NE(open.handle, nullptr);
      Header header;
      ASSERT_EQ(plugin_.Read(header), 0);
      plugin_.Process(PK_EXTRACT, data_.file("out").c_str());
      plugin_.Close();
    }
  }

  // The function kinds of this plug-in: ANSI, and wide where exported.
  std::vector<bool> Kinds() const {
    return plugin_.HasWideFunctions() ? std::vector<bool>{false, true}
                                      : std::vector<bool>{false};
  }

  LoadedPlugin plugin_{""};
  TempDir config_;
  TempDir data_;
  std::string userBase_;
  std::optional<ScopedEnvironmentValue> user_;
  std::optional<ScopedEnvironmentValue> system_;
};

struct OrderCase {
  const char* label;
  std::vector<Place> present;
  Place taken;     // kNone: refused
  Place loggedIn;  // where the log lands
};

TEST_F(RulesPlacesTest, FirstPlaceThatHoldsRulesIsTakenAndItsLogGoesBesideIt) {
  const OrderCase cases[] = {
      {"plugin_alone", {kPlugin}, kPlugin, kPlugin},
      {"user_alone", {kUser}, kUser, kUser},
      {"system_alone", {kSystem}, kSystem, kUser},
      {"plugin_over_user", {kPlugin, kUser}, kPlugin, kPlugin},
      {"user_over_system", {kUser, kSystem}, kUser, kUser},
      {"plugin_over_both", {kPlugin, kUser, kSystem}, kPlugin, kPlugin},
      {"none", {}, kNone, kNone},
  };
  SetPlaces(kUserBase);
  for (const OrderCase& c : cases) {
    // The system's folder is /etc/quendrix on Linux, out of a test's reach.
    const bool needsSystem =
        std::find(c.present.begin(), c.present.end(), kSystem) != c.present.end();
    if (!kWindows && needsSystem) continue;
    for (const bool wide : Kinds()) {
      SCOPED_TRACE(std::string(c.label) + (wide ? " (wide)" : " (ANSI)"));
      fs::remove(PathOfUtf8(plugin_.dirUtf8() + "quendrix.ini"));
      fs::remove(PathOfUtf8(plugin_.dirUtf8() + "quendrix.log"));
      fs::remove_all(PathOfUtf8(userBase_ + Separator() + "quendrix"));
      fs::remove_all(config_.path() / "program data");
      WriteFile(data_.path() / "notes.txt", "text");
      for (const Place place : c.present) PutRules(place);

      const std::string archive = wide ? data_.utf8File("notes.txt")
                                       : data_.file("notes.txt");
      const std::vector<std::string> listed =
          wide ? plugin_.ListW(archive) : plugin_.List(archive);
      if (c.taken == kNone) {
        EXPECT_TRUE(listed.empty());
        EXPECT_EQ(wide ? plugin_.CanHandleW(archive) : plugin_.CanHandle(archive), 0);
        continue;
      }
      const char* names[] = {"", "from-plugin", "from-user", "from-system"};
      EXPECT_EQ(listed, std::vector<std::string>{names[c.taken]});

      ExtractFirst(wide);
      for (const Place place : {kPlugin, kUser, kSystem}) {
        const std::string log = ReadFile(PathOfUtf8(DirOf(place) + "quendrix.log"));
        if (place == c.loggedIn) {
          EXPECT_EQ(log.rfind("command1 = ", 0), 0u) << DirOf(place);
        } else {
          EXPECT_EQ(log, "") << DirOf(place);
        }
      }
    }
  }
}

TEST_F(RulesPlacesTest, XdgConfigHomeUnsetEmptyOrRelativeMeansHomeDotConfig) {
  if (kWindows) GTEST_SKIP() << "XDG_CONFIG_HOME is read on Linux only";
  plugin_.WriteRules("");
  fs::remove(PathOfUtf8(plugin_.dirUtf8() + "quendrix.ini"));
  const ScopedEnvironmentValue home("HOME", config_.utf8File("home"));
  const std::string dir = config_.utf8File("home") + "/.config/quendrix/";
  fs::create_directories(dir);
  WriteFile(dir + "quendrix.ini", RulesOf("home"));
  WriteFile(data_.path() / "notes.txt", "text");
  for (const std::optional<std::string>& value :
       {std::optional<std::string>(), std::optional<std::string>(""),
        std::optional<std::string>("relative/config")}) {
    SCOPED_TRACE(value ? "\"" + *value + "\"" : "unset");
    const ScopedEnvironmentValue config("XDG_CONFIG_HOME", value);
    EXPECT_EQ(plugin_.List(data_.file("notes.txt")),
              std::vector<std::string>{"from-home"});
  }
  // Set, it wins over HOME even when its folder holds no rules.
  const ScopedEnvironmentValue config("XDG_CONFIG_HOME", config_.utf8File("elsewhere"));
  EXPECT_TRUE(plugin_.List(data_.file("notes.txt")).empty());
}

// Any user name works on Windows: the user's folder is read through the
// wide functions. A file manager that calls the ANSI functions gets the
// folder's short form when the code page cannot write its name.
TEST_F(RulesPlacesTest, UserFolderWhoseNameNoCodePageHoldsIsFound) {
  SetPlaces("Пользователь 報告");
  plugin_.WriteRules("");
  fs::remove(PathOfUtf8(plugin_.dirUtf8() + "quendrix.ini"));
  PutRules(kUser);
  WriteFile(data_.path() / "notes.txt", "text");
  for (const bool wide : Kinds()) {
    SCOPED_TRACE(wide ? "wide" : "ANSI");
    fs::remove(PathOfUtf8(UserDir() + "quendrix.log"));
    const std::vector<std::string> listed =
        wide ? plugin_.ListW(data_.utf8File("notes.txt"))
             : plugin_.List(data_.file("notes.txt"));
    EXPECT_EQ(listed, std::vector<std::string>{"from-user"});
    ExtractFirst(wide);
    EXPECT_EQ(ReadFile(PathOfUtf8(UserDir() + "quendrix.log")).rfind("command1 = ", 0), 0u);
  }
}

}  // namespace
}  // namespace quendrix::testing
