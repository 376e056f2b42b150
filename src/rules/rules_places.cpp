#include "rules/rules_places.h"

namespace quendrix {
namespace {

constexpr std::string_view kFolderName = "quendrix";

bool IsAbsolute(std::string_view path, platform::PathStyle style) {
  if (style == platform::PathStyle::kPosix) {
    return !path.empty() && path.front() == '/';
  }
  // %APPDATA% and %ProgramData% are drive or UNC paths, set by the system;
  // a value of another form is taken as it stands, as programs there do.
  return !path.empty();
}

// `base` with the separators at its end cut off, then the separator, the
// given parts and the separator after each.
std::string Folder(std::string_view base, platform::PathStyle style,
                   std::initializer_list<std::string_view> parts) {
  const char separator = platform::SeparatorOf(style);
  while (!base.empty() && (base.back() == separator || base.back() == '/')) {
    base.remove_suffix(1);
  }
  std::string dir(base);
  for (const std::string_view part : parts) {
    dir += separator;
    dir += part;
  }
  dir += separator;
  return dir;
}

}  // namespace

std::vector<RulesFolder> RulesFolders(platform::PathStyle style,
                                      std::string_view pluginDir,
                                      const EnvironmentLookup& folderVariable) {
  std::vector<RulesFolder> folders;
  folders.reserve(3);
  folders.push_back({RulesPlace::kPlugin, std::string(pluginDir)});
  if (!folderVariable) return folders;
  const auto usable = [style](const std::string& value) {
    return IsAbsolute(value, style);
  };
  if (style == platform::PathStyle::kPosix) {
    if (const std::string config = folderVariable("XDG_CONFIG_HOME");
        usable(config)) {
      folders.push_back({RulesPlace::kUser, Folder(config, style, {kFolderName})});
    } else if (const std::string home = folderVariable("HOME"); usable(home)) {
      folders.push_back(
          {RulesPlace::kUser, Folder(home, style, {".config", kFolderName})});
    }
    folders.push_back({RulesPlace::kSystem, Folder("/etc", style, {kFolderName})});
  } else {
    if (const std::string appData = folderVariable("APPDATA"); usable(appData)) {
      folders.push_back({RulesPlace::kUser, Folder(appData, style, {kFolderName})});
    }
    if (const std::string programData = folderVariable("ProgramData");
        usable(programData)) {
      folders.push_back(
          {RulesPlace::kSystem, Folder(programData, style, {kFolderName})});
    }
  }
  return folders;
}

std::optional<RulesChoice> ChooseRules(
    const std::vector<RulesFolder>& folders,
    const std::function<bool(const std::string&)>& exists) {
  for (const RulesFolder& folder : folders) {
    std::string path = folder.RulesPath();
    if (exists && !exists(path)) continue;
    RulesChoice choice;
    choice.place = folder.place;
    choice.rulesPath = std::move(path);
    if (folder.place != RulesPlace::kSystem) {
      choice.logDir = folder.dir;
    } else {
      for (const RulesFolder& other : folders) {
        if (other.place == RulesPlace::kUser) choice.logDir = other.dir;
      }
    }
    return choice;
  }
  return std::nullopt;
}

}  // namespace quendrix
