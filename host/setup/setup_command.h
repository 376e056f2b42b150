// quendrix setup: registers the plug-in for every extension of the rules in
// use with a file manager (Double Commander's packer plug-ins, Midnight
// Commander's extension file), and takes that out again.
#pragma once

#include <functional>
#include <memory>
#include <iosfwd>
#include <string>
#include <vector>

#include "host_command.h"

namespace quendrix::host {

struct SetupRequest {
  std::string host;  // "doublecmd" or "mc"
  bool undo = false;
  bool dryRun = false;
  // --config: the file to change; empty for the one the file manager reads.
  std::string configFile;
};

// Where the file managers keep their files, and whether one runs: the
// system's answers (Platform), or a test's.
struct SetupPlaces {
  // doublecmd.xml; empty where the place is not known.
  std::string doubleCommanderSettings;
  // Whether a Double Commander of this user runs that may have read the
  // settings file at this path, and would write it back over the change
  // when it closes.
  std::function<bool(const std::string& settings)> doubleCommanderRunning;
  // The user's mc.ext.ini, which mc reads instead of its own when it exists.
  std::string mcUserFile;
  // mc's own extension files, in the order mc looks for one.
  std::vector<std::string> mcSystemFiles;
  // The folders where mc looks for extfs helpers such as uquendrix.
  std::vector<std::string> mcHelperFolders;

  static SetupPlaces Platform();
};

// Runs `quendrix setup` for the plug-in at `pluginPath` (absolute), whose
// rules are those that the plug-in would take. Returns the exit code.
int RunSetup(const std::string& pluginPath, const SetupRequest& request,
             const SetupPlaces& places, std::ostream& out, std::ostream& err);

// The command `setup HOST`, which runs RunSetup with the system's places.
std::unique_ptr<HostCommand> SetupCommand();

}  // namespace quendrix::host
