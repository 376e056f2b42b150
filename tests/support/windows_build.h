// Whether the tests run against a Windows build, whose paths, quoting and
// file names follow Windows' rules rather than POSIX ones.
#pragma once

#include "platform/platform.h"

namespace quendrix::testing {

inline constexpr bool kWindows = platform::kPathStyle == platform::PathStyle::kWindows;

}  // namespace quendrix::testing
