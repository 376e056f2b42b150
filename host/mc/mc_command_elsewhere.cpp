// Midnight Commander runs on POSIX systems only; a build for any other
// system answers the mc verbs with a refusal.
#include <ostream>

#include "mc/mc_command.h"

namespace quendrix::host {

std::optional<McRequest> ParseMcRequest(const std::vector<std::string>&,
                                        std::ostream& err) {
  err << "quendrix mc: the extfs verbs serve Midnight Commander, which this "
         "system does not run; use the Linux build of quendrix\n";
  return std::nullopt;
}

int RunMcRequest(const PluginClient&, const McRequest&, std::ostream&,
                 std::ostream&) {
  return kExitRefused;
}

}  // namespace quendrix::host
