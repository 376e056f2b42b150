// quendrix mc: the verbs of a Midnight Commander extfs helper, so that mc
// opens a file with the same rules, through the same plug-in, as a WCX host.
// mc runs the helper once for the listing and once for each member it
// copies out; only those two verbs are served, for the members are made by
// programs and nothing can be written back.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "exit_codes.h"
#include "client/plugin_client.h"

namespace quendrix::host {

enum class McVerb { kList, kCopyOut };

struct McRequest {
  McVerb verb = McVerb::kList;
  std::string file;
  std::string member;       // copyout only
  std::string destination;  // copyout only
};

// Reads the words after `mc`: `list FILE` or `copyout FILE MEMBER DEST`,
// taken as they stand, since mc hands names over unchanged, a leading "-"
// included. Nothing, with a message on `err`, for any other verb (each of
// them would change the file, which is read-only) or a wrong number of
// words; the host then exits with kExitRefused.
std::optional<McRequest> ParseMcRequest(const std::vector<std::string>& words,
                                        std::ostream& err);

// list: the listing that mc reads, on `out`; a member whose name mc cannot
// carry is left out with a warning on `err`. kExitDone when listed,
// kExitRefused when the plug-in refuses the file, kExitMemberFailed when its
// list broke off (the members read are still listed).
// copyout: makes the first member of exactly that name at exactly the
// destination, replacing what is there (mc makes an empty file there before
// it asks). kExitDone only when the member's program left a file there;
// kExitMemberFailed with a message on `err` when the member does not exist,
// cannot be made or was not made; kExitRefused when the file is refused.
int RunMcRequest(const PluginClient& plugin, const McRequest& request,
                 std::ostream& out, std::ostream& err);

}  // namespace quendrix::host
