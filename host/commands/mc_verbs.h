// quendrix mc: Midnight Commander's extfs helper (mc/), as a command.
#pragma once

#include <memory>

#include "host_command.h"

namespace quendrix::host {

// The command `mc VERB ...`, which hands every word after it, as mc gave
// them, to the mc verbs (mc list FILE, mc copyout FILE MEMBER DEST).
std::unique_ptr<HostCommand> McCommand();

}  // namespace quendrix::host
