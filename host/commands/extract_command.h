// quendrix extract: members made through a packer plug-in, as a file
// manager copies them out of an archive.
#pragma once

#include <chrono>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "exit_codes.h"
#include "client/plugin_client.h"
#include "host_command.h"

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
  // Show member n of m, the time spent and the bytes made so far on `err`
  // (for a terminal).
  bool progress = false;
  // A member whose program runs longer is stopped and reported as timed
  // out, and the next member goes on; zero for no limit.
  std::chrono::milliseconds timeout{0};
};

// Lists the file, then opens it in extract mode, reads every header and
// extracts the selected members as they pass, skipping the rest. Prints one
// line per selected member on `out`: "made", "not made" (the plug-in gave
// success but no file is there), "failed" (an error code, or a name that
// would leave the directory) or "kept" (the file exists), then a summary.
// A plug-in whose list changes during the extraction (as one that starts
// its list over after each extraction does) is stopped at the first header
// that differs from the listing, so the extraction always ends.
// While a member is made, the plug-in's progress callback (when it has
// one) shows the bytes made so far, and stops the member when Ctrl+C comes
// ("cancelled": no further member starts) or when its time limit passes
// ("timed out": the next member goes on).
//
// kExitDone when every selected member was made or not made as its program
// chose; kExitMemberFailed when one failed, was kept, timed out, or a
// pattern matched nothing; kExitRefused when the plug-in refuses the file;
// kExitInterrupted after Ctrl+C.
int ExtractMembers(const PluginClient& plugin, const ExtractRequest& request,
                   std::ostream& out, std::ostream& err);

// The command `extract FILE [MEMBER...]`, which runs ExtractMembers, with
// progress where a person watches standard error and Ctrl+C stopping it.
std::unique_ptr<HostCommand> ExtractCommand();

}  // namespace quendrix::host
