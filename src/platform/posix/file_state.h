// POSIX: a file's state (platform::FileState) from the status the system
// gave, for callers that hold the status already (the profile reader takes
// it from the open file, so that the state is that of the bytes it reads).
#pragma once

#include <sys/stat.h>

#include "platform/platform.h"

namespace quendrix::platform {

FileState StateOfStatus(const struct stat& info);

}  // namespace quendrix::platform
