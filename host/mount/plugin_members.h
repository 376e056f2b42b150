// The mount's two uses of the plug-in, through its exports as every host
// command uses them: listing a file's members, and making one member.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "mount/member_makes.h"
#include "mount/mount_members.h"
#include "client/plugin_client.h"

namespace quendrix::host::mount {

// The members of `source` as the plug-in lists them (opened for listing,
// which runs the list program of its section, if it has one). A file the
// plug-in does not serve is refused; one it serves but cannot open (its
// list failed) is a failure, with the plug-in's reason. A list that broke
// off, and the plug-in's warning about names its list did not take, go to
// `warnings`.
ListOutcome ListWithPlugin(const PluginClient& plugin, const std::string& source,
                           std::vector<std::string>& warnings);

// Opens `source` for extraction, reads the headers up to the first member
// called `member` and has the plug-in make it at `destination`. While the
// program runs, the plug-in's progress callback asks `stopRequested`, and
// the plug-in stops the program when it says so.
MakeOutcome MakeWithPlugin(const PluginClient& plugin, const std::string& source,
                           const std::string& member, const std::string& destination,
                           const std::function<bool()>& stopRequested);

}  // namespace quendrix::host::mount
