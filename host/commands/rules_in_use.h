// The rules file the plug-in would take, as `explain`, `check` and `setup`
// find and read it without loading the plug-in.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "rules/rules_places.h"

namespace quendrix::host {

// The folder of the plug-in at `pluginPath`, absolute, ending in the path
// separator: where the plug-in looks for its rules file first, and for
// programs named without a folder.
std::string PluginDirectoryOf(const std::string& pluginPath);

// "the plug-in's folder", "the user's", "the system's".
std::string_view PlaceName(RulesPlace place);

// Writes the places looked at, one per line, for a message that there is
// no rules file.
void ListPlacesLookedAt(const std::vector<RulesFolder>& folders, std::ostream& err);

// The bytes of the file at `path`; nothing, with the reason in `why`, when
// it cannot be read.
std::optional<std::string> ReadRulesBytes(const std::string& path, std::string& why);

}  // namespace quendrix::host
