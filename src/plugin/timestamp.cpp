#include "plugin/timestamp.h"

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

std::uint32_t ArchiveHeaderTime(const std::string& archivePath,
                                platform::TextEncoding encoding) {
  if constexpr (platform::kHeaderTimeKind ==
                platform::HeaderTimeKind::kDosDateTime) {
    platform::CalendarTime time;  // stays all zero when the file is unreadable
    platform::GetArchiveFileTime(archivePath, time, encoding);
    return PackDosDateTime(time.day, time.month, time.year, time.hour,
                           time.minute, time.second);
  } else {
    const auto seconds = platform::FileModifiedUnixSeconds(archivePath);
    return seconds ? static_cast<std::uint32_t>(*seconds) : 0u;
  }
}

std::uint32_t HeaderTimeOf(const ListedTime& time) {
  if constexpr (platform::kHeaderTimeKind == platform::HeaderTimeKind::kDosDateTime) {
    return PackDosDateTime(time.day, time.month, time.year, time.hour, time.minute, time.second);
  } else {
    const platform::CalendarTime local{time.year, time.month, time.day,
                                       time.hour, time.minute, time.second};
    const std::optional<std::int64_t> seconds = platform::UnixSecondsOfLocalTime(local);
    // FileTime holds unsigned seconds: a time before 1970 has no form there.
    return seconds && *seconds >= 0 ? static_cast<std::uint32_t>(*seconds) : 0u;
  }
}

}  // namespace quendrix
