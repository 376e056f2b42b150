// POSIX: whether standard error is a terminal.
#include <unistd.h>

#include "platform/platform.h"

namespace quendrix::platform {

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

}  // namespace quendrix::platform
