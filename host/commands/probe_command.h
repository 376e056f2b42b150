// quendrix probe: which files a packer plug-in takes.
#pragma once

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "exit_codes.h"
#include "client/plugin_client.h"
#include "host_command.h"

namespace quendrix::host {

// Asks the plug-in about each file, as a file manager does before it opens
// one, and prints "taken" or "refused" with the file's name, one line each.
// A plug-in without CanYouHandleThisFile is asked by opening the file for
// listing. kExitDone when every file is taken, kExitRefused when any is not.
int ProbeFiles(const PluginClient& plugin, const std::vector<std::string>& files,
               std::ostream& out);

// The command `probe FILE...`, which runs ProbeFiles.
std::unique_ptr<HostCommand> ProbeCommand();

}  // namespace quendrix::host
