// quendrix extract: members made through a packer plug-in, as a file
// manager copies them out of an archive.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "exit_codes.h"
#include "plugin_client.h"

namespace quendrix::host {

struct ExtractRequest {
  std::string file;
  // Shell-style patterns (member_pattern.h); every member when empty.
  std::vector<std::string> patterns;
  // Where the members go; the current directory when empty. Made when it
  // does not exist.
  std::string directory;
  // Replace files that exist; without it they are kept and reported.
  bool overwrite = false;
  // Show member n of m and the time spent on `err` (for a terminal).
  bool progress = false;
};

// Lists the file, then opens it in extract mode, reads every header and
// extracts the selected members as they pass, skipping the rest. Prints one
// line per selected member on `out`: "made", "not made" (the plug-in gave
// success but no file is there), "failed" (an error code, or a name that
// would leave the directory) or "kept" (the file exists), then a summary.
// A plug-in whose list changes during the extraction (as one that starts
// its list over after each extraction does) is stopped at the first header
// that differs from the listing, so the extraction always ends.
// kExitDone when every selected member was made or not made as its program
// chose; kExitMemberFailed when one failed, was kept, or a pattern matched
// nothing; kExitRefused when the plug-in refuses the file.
int ExtractMembers(const PluginClient& plugin, const ExtractRequest& request,
                   std::ostream& out, std::ostream& err);

}  // namespace quendrix::host
