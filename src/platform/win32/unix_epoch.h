// Windows: where 1970 lies on the system's clock of 100-nanosecond ticks
// since 1601, to turn its file times into seconds since 1970 and back.
#pragma once

#include <cstdint>

namespace quendrix::platform::win32 {

inline constexpr std::int64_t kUnixEpochIn100ns = 116444736000000000LL;

}  // namespace quendrix::platform::win32
