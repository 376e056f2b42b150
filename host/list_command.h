// quendrix list: the members of a file, as a packer plug-in reports them.
#pragma once

#include <iosfwd>
#include <string>

#include "plugin_client.h"

namespace quendrix::host {

// Exit codes of the host.
inline constexpr int kExitDone = 0;
inline constexpr int kExitMemberFailed = 1;
inline constexpr int kExitRefused = 2;  // also: usage errors, no plug-in

// Opens `file` in list mode and prints one line per member (size, date,
// time, name) in the manner of `unzip -l`. Returns kExitRefused, with a
// message on `err`, when the plug-in refuses the file.
int ListMembers(const PluginClient& plugin, const std::string& file,
                std::ostream& out, std::ostream& err);

}  // namespace quendrix::host
