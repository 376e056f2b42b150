// One local time that tests give files, and the DOS stamp hosts on Windows
// read for it.
#pragma once

#include <cstdint>
#include <ctime>

namespace quendrix::testing {

// 2024-03-15 13:45:59 local time packs to this DOS date and time.
inline constexpr std::uint32_t kLocalStampDos = 0x586F6DBDu;

// 2024-03-15 13:45:59 local time, in seconds since 1970.
inline std::int64_t LocalStampSeconds() {
  std::tm local{};
  local.tm_year = 2024 - 1900;
  local.tm_mon = 3 - 1;
  local.tm_mday = 15;
  local.tm_hour = 13;
  local.tm_min = 45;
  local.tm_sec = 59;
  local.tm_isdst = -1;
  return std::mktime(&local);
}

}  // namespace quendrix::testing
