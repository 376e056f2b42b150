// quendrix list: the members of a file, as a packer plug-in reports them.
#pragma once

#include <iosfwd>
#include <memory>
#include <string>

#include "exit_codes.h"
#include "client/plugin_client.h"
#include "host_command.h"

namespace quendrix::host {

enum class ListFormat { kTable, kJson };

// Opens `file` in list mode and prints its members: in the table format one
// line per member (size, date, time, name) in the manner of `unzip -l`; in
// the JSON format one document for scripts. kExitRefused, with a message on
// `err`, when the plug-in refuses the file; kExitMemberFailed when its list
// breaks off or never ends (what was read is still printed).
int ListMembers(const PluginClient& plugin, const std::string& file,
                std::ostream& out, std::ostream& err,
                ListFormat format = ListFormat::kTable);

// The command `list FILE [--json]`, which runs ListMembers.
std::unique_ptr<HostCommand> ListCommand();

}  // namespace quendrix::host
