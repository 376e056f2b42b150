// quendrix mount and quendrix unmount: the rules as a read-only file system
// that every program can read (Linux, through FUSE).
#pragma once

#include <iosfwd>
#include <string>

#include "exit_codes.h"
#include "client/plugin_client.h"

namespace quendrix::host {

struct MountRequest {
  std::string source;      // absolute
  std::string mountPoint;  // absolute
  bool foreground = false;
};

// Mounts `request.source` at `request.mountPoint`. In the background (the
// default) it returns once the file system is mounted, with kExitDone, and
// a process of its own serves it, logging to the system log; with
// `foreground` it serves it itself until it is unmounted or stopped by
// Ctrl+C, logging on `err`. kExitRefused when the plug-in refuses the
// source file, a path is not what it must be, or the mount fails.
int RunMount(const PluginClient& plugin, const std::string& pluginPath,
             const MountRequest& request, std::ostream& out, std::ostream& err);

// Unmounts the quendrix mount at `mountPoint`: kExitDone, or
// kExitMemberFailed with the reason on `err`.
int RunUnmount(const std::string& mountPoint, std::ostream& err);

}  // namespace quendrix::host
