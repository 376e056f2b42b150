// quendrix mount and quendrix unmount: the FUSE mount (mount/), as commands.
#pragma once

#include <memory>

#include "host_command.h"

namespace quendrix::host {

// The command `mount SOURCE MOUNTPOINT`, which runs RunMount.
std::unique_ptr<HostCommand> MountCommand();

// The command `unmount MOUNTPOINT`, which runs RunUnmount.
std::unique_ptr<HostCommand> UnmountCommand();

}  // namespace quendrix::host
