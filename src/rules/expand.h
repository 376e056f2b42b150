// Expansion of a member's command-line and file-name templates.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "rules/environment_tokens.h"

namespace quendrix {

// The short form of a path; empty when the platform gives none.
using ShortPathLookup = std::function<std::string(std::string_view path)>;

// What the expansion fills in, and where it looks things up. A lookup that is
// not set finds nothing: no variable is set and no path has a short form.
struct ExpansionContext {
  platform::PathStyle pathStyle = platform::kPathStyle;
  std::string_view pluginDir;
  std::string_view archivePath;
  std::string_view baseName;
  std::string_view extension;
  bool shortFileName = false;
  EnvironmentLookup environment;
  ShortPathLookup shortPathOf;
};

struct ExpandedEntry {
  std::string command;
  std::string fileout;
  // The command's program was a bare name, which got the plug-in's folder
  // in front (see Entry).
  bool programInPluginDir = false;
  // The values put in pushed a template that was read whole to
  // kTemplateLimit: the command has most likely lost its end, and is not to
  // be run.
  bool cut = false;
};

// Turns one pair of templates, as read from the rules file, into the command
// line and member name stored in the entry. In the command, in this order:
// "[quendrix_path]" becomes the plug-in directory; environment tokens are
// filled in; a command that does not start with an absolute program path or
// a percent sign gets the plug-in directory in front (in the POSIX style, a
// command that starts with "<" FILE gets it in front of its program's word); "filein" becomes the
// archive path; "[N]" and "[E]" become the archive's base name and
// extension. In the member name only "[N]" and "[E]" are filled in, always as
// plain text. "fileout" is left for extraction. Every step cuts its result to
// kTemplateLimit characters.
ExpandedEntry ExpandEntry(std::string_view commandTemplate,
                          std::string_view fileoutTemplate,
                          const ExpansionContext& context);

}  // namespace quendrix
