// Expansion of a member's command-line and file-name templates.
#pragma once

#include <string>
#include <string_view>

#include "platform/platform.h"

namespace quendrix {

// What the expansion fills in, and where it looks things up.
struct ExpansionContext {
  platform::PathStyle pathStyle = platform::kPathStyle;
  std::string_view pluginDir;
  std::string_view archivePath;
  std::string_view baseName;
  std::string_view extension;
  bool shortFileName = false;
};

struct ExpandedEntry {
  std::string command;
  std::string fileout;
};

// Turns one pair of templates, as read from the rules file, into the command
// line and member name stored in the entry.
ExpandedEntry ExpandEntry(std::string_view commandTemplate,
                          std::string_view fileoutTemplate,
                          const ExpansionContext& context);

}  // namespace quendrix
