#include "plugin/timestamp.h"

#include <climits>

#include "platform/platform.h"

namespace quendrix {

std::uint32_t PackDosDateTime(std::int32_t day, std::int32_t month,
                              std::int32_t year, std::int32_t hour,
                              std::int32_t minute, std::int32_t second) {
  // Unsigned arithmetic keeps the shifts defined for every input, including
  // years before 1980, whose negative term wraps as 32-bit arithmetic does.
  const auto u = [](std::int32_t v) { return static_cast<std::uint32_t>(v); };
  return (u(year) - 1980u) << 25 | u(month) << 21 | u(day) << 16 |
         u(hour) << 11 | u(minute) << 5 | u(second / 2);
}

namespace {

// The years a DOS date holds: 1980 and the 127 after it.
constexpr std::int32_t kFirstDosYear = 1980;
constexpr std::int32_t kLastDosYear = 2107;

}  // namespace

std::string_view HeaderTimeReach() {
  if constexpr (platform::kHeaderTimeKind == platform::HeaderTimeKind::kDosDateTime) {
    return "the years 1980 to 2107";
  } else {
    return "1970-01-01 to 2106-02-07 UTC";
  }
}

std::optional<std::uint32_t> HeaderTimeOfUnixSeconds(std::int64_t seconds) {
  if (seconds < 0 || seconds > UINT32_MAX) return std::nullopt;
  return static_cast<std::uint32_t>(seconds);
}

std::uint32_t ArchiveHeaderTime(const std::string& archivePath,
                                platform::TextEncoding encoding) {
  if constexpr (platform::kHeaderTimeKind ==
                platform::HeaderTimeKind::kDosDateTime) {
    platform::CalendarTime time;  // stays all zero when the file is unreadable
    platform::GetArchiveFileTime(archivePath, time, encoding);
    if (time.year < kFirstDosYear || time.year > kLastDosYear) time = {};
    return PackDosDateTime(time.day, time.month, time.year, time.hour,
                           time.minute, time.second);
  } else {
    const auto seconds = platform::FileModifiedUnixSeconds(archivePath);
    return seconds ? HeaderTimeOfUnixSeconds(*seconds).value_or(0u) : 0u;
  }
}

std::optional<std::uint32_t> HeaderTimeOf(const ListedTime& time) {
  if constexpr (platform::kHeaderTimeKind == platform::HeaderTimeKind::kDosDateTime) {
    if (time.year < kFirstDosYear || time.year > kLastDosYear) return std::nullopt;
    return PackDosDateTime(time.day, time.month, time.year, time.hour, time.minute, time.second);
  } else {
    const platform::CalendarTime local{time.year, time.month, time.day,
                                       time.hour, time.minute, time.second};
    const std::optional<std::int64_t> seconds = platform::UnixSecondsOfLocalTime(local);
    if (!seconds) return std::nullopt;
    return HeaderTimeOfUnixSeconds(*seconds);
  }
}

}  // namespace quendrix
