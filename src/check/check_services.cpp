#include "check/check_services.h"

#include <filesystem>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "extract/program_lookup.h"

namespace quendrix {
namespace {

namespace fs = std::filesystem;

// The host's text is UTF-8, as the plug-in's wide side takes it.
constexpr platform::TextEncoding kCheckEncoding = platform::TextEncoding::kUtf8;

// The names in folders, each folder listed once. A check asks for many
// names in the same few folders (the plug-in's and those of PATH), mostly
// names that are not there; one listing answers all of those, where each
// would otherwise cost the system a lookup of a path.
class FolderNames {
 public:
  // False only when `folder` was listed and holds no entry `name`.
  bool MayHold(const std::string& folder, const std::string& name) {
    auto [at, added] = folders_.try_emplace(folder);
    if (added) at->second = List(folder);
    return !at->second || at->second->contains(name);
  }

 private:
  using Names = std::unordered_set<std::string>;

  // Nothing when the folder cannot be listed; then only a lookup of the
  // path tells.
  static std::optional<Names> List(const std::string& folder) {
    std::error_code error;
    fs::directory_iterator entries(fs::path(folder), error);
    if (error) {
      if (error == std::errc::no_such_file_or_directory) return Names();
      return std::nullopt;
    }
    Names names;
    for (const fs::directory_entry& entry : entries) {
      names.insert(entry.path().filename().string());
    }
    return names;
  }

  std::unordered_map<std::string, std::optional<Names>> folders_;
};

}  // namespace

CheckServices CheckServices::Platform(std::string pluginDir) {
  CheckServices services;
  static_cast<LookupServices&>(services) = LookupServices::Platform(kCheckEncoding);
  services.pluginDir = std::move(pluginDir);
  if (platform::kPathStyle != platform::PathStyle::kPosix) return services;
  // POSIX: the folders' listings rule out the names they lack, and only a
  // name that is there is looked up as a program, so the answers are those
  // of the platform's own functions.
  auto names = std::make_shared<FolderNames>();
  services.isProgram = [names, dir = services.pluginDir,
                        recipes = RecipesFolderOf(services.pluginDir, platform::PathStyle::kPosix)](
                           const std::string& path) {
    // A name in the plug-in's folder or in its recipes folder, where bare
    // names are looked for.
    const std::size_t slash = path.rfind('/');
    if (slash != std::string::npos && slash + 1 < path.size()) {
      const std::string folder = path.substr(0, slash + 1);
      if ((folder == dir || folder == recipes) && !names->MayHold(folder, path.substr(slash + 1))) {
        return false;
      }
    }
    return platform::IsProgramFile(path, kCheckEncoding);
  };
  services.searchPath = [names](const std::string& name) {
    return platform::FindProgramOnPath(
        name, kCheckEncoding,
        [&names](const std::string& folder, const std::string& entry) {
          return names->MayHold(folder, entry);
        });
  };
  return services;
}

}  // namespace quendrix
