// Where the rules file lies: the plug-in's own folder, the user's
// configuration folder or the system's, the first that holds one.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "rules/expand.h"

namespace quendrix {

// The rules file's name in each place.
inline constexpr std::string_view kRulesFileName = "quendrix.ini";

enum class RulesPlace { kPlugin, kUser, kSystem };

// A folder where a rules file may lie, ending in its separator.
struct RulesFolder {
  RulesPlace place = RulesPlace::kPlugin;
  std::string dir;

  // The path of the rules file in this folder.
  std::string RulesPath() const { return dir + std::string(kRulesFileName); }
};

// The folders looked at, in order: the plug-in's folder, which keeps a
// portable copy and every existing setup as it was; the user's own
// ($XDG_CONFIG_HOME/quendrix, else ~/.config/quendrix; %APPDATA%\quendrix on
// Windows); the system's (/etc/quendrix; %ProgramData%\quendrix). A place
// whose variable is unset, empty or (on POSIX, as the XDG rules say) not an
// absolute path is left out. `folderVariable` gives the value of a variable
// that names a folder.
std::vector<RulesFolder> RulesFolders(platform::PathStyle style,
                                      std::string_view pluginDir,
                                      const EnvironmentLookup& folderVariable);

// The rules file taken for one lookup, and where its log goes.
struct RulesChoice {
  RulesPlace place = RulesPlace::kPlugin;
  std::string rulesPath;
  // Next to the rules file, except for the system's file, which the user
  // cannot write beside: its log goes into the user's folder (empty when
  // there is none, and then nothing is logged).
  std::string logDir;
};

// The first of `folders` whose rules file `exists` says is there; nothing
// when none is. Without an `exists` service the first folder is taken
// unasked, as a plug-in that knows only its own folder did.
std::optional<RulesChoice> ChooseRules(
    const std::vector<RulesFolder>& folders,
    const std::function<bool(const std::string&)>& exists);

}  // namespace quendrix
