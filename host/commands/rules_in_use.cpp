#include "commands/rules_in_use.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>

#include "platform/platform.h"
#include "text/utf8_path.h"

namespace quendrix::host {

namespace fs = std::filesystem;

std::string PluginDirectoryOf(const std::string& pluginPath) {
  std::error_code error;
  std::string dir = TextOf(fs::absolute(PathOf(pluginPath), error)
                               .make_preferred()
                               .parent_path());
  if (dir.empty() || dir.back() != platform::kPathSeparator) {
    dir += platform::kPathSeparator;
  }
  return dir;
}

std::string_view PlaceName(RulesPlace place) {
  switch (place) {
    case RulesPlace::kPlugin: return "the plug-in's folder";
    case RulesPlace::kUser: return "the user's";
    case RulesPlace::kSystem: return "the system's";
  }
  return {};
}

void ListPlacesLookedAt(const std::vector<RulesFolder>& folders, std::ostream& err) {
  for (const RulesFolder& folder : folders) {
    err << "  " << folder.RulesPath() << " (" << PlaceName(folder.place) << ")\n";
  }
}

std::optional<std::string> ReadRulesBytes(const std::string& path, std::string& why) {
  std::error_code error;
  const fs::file_status status = fs::status(PathOf(path), error);
  if (!fs::exists(status)) {
    why = "there is no such file";
    return std::nullopt;
  }
  if (fs::is_directory(status)) {
    why = "it is a folder";
    return std::nullopt;
  }
  std::ifstream in(PathOf(path), std::ios::binary);
  if (!in) {
    why = "it cannot be opened for reading";
    return std::nullopt;
  }
  std::string bytes(std::istreambuf_iterator<char>(in), {});
  if (in.bad()) {
    why = "it cannot be read";
    return std::nullopt;
  }
  return bytes;
}

}  // namespace quendrix::host
