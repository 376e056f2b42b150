#include "commands/probe_command.h"

#include <ostream>

#include "client/archive_session.h"

namespace quendrix::host {

int ProbeFiles(const PluginClient& plugin, const std::vector<std::string>& files,
               std::ostream& out) {
  int status = kExitDone;
  for (const std::string& file : files) {
    const bool taken = PluginTakes(plugin, file);
    out << (taken ? "taken    " : "refused  ") << file << "\n";
    if (!taken) status = kExitRefused;
  }
  return status;
}

}  // namespace quendrix::host
