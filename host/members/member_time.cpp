#include "members/member_time.h"

#include <cstdio>

#include "platform/platform.h"

namespace quendrix::host {
namespace {

platform::CalendarTime UnpackDos(std::uint32_t value) {
  platform::CalendarTime time;
  time.year = static_cast<std::int32_t>(value >> 25) + 1980;
  time.month = static_cast<std::int32_t>((value >> 21) & 0x0F);
  time.day = static_cast<std::int32_t>((value >> 16) & 0x1F);
  time.hour = static_cast<std::int32_t>((value >> 11) & 0x1F);
  time.minute = static_cast<std::int32_t>((value >> 5) & 0x3F);
  time.second = static_cast<std::int32_t>(value & 0x1F) * 2;
  return time;
}

platform::CalendarTime CalendarOf(std::int32_t fileTime) {
  const std::uint32_t value = static_cast<std::uint32_t>(fileTime);
  return platform::kHeaderTimeKind == platform::HeaderTimeKind::kDosDateTime
             ? UnpackDos(value)
             : platform::LocalCalendarTime(static_cast<std::int64_t>(value));
}

bool IsValid(const platform::CalendarTime& time) {
  return time.month >= 1 && time.month <= 12 && time.day >= 1 &&
         time.day <= 31 && time.hour <= 23 && time.minute <= 59;
}

}  // namespace

bool IsValidMemberTime(std::int32_t fileTime) {
  return MemberCalendarTime(fileTime).has_value();
}

std::optional<platform::CalendarTime> MemberCalendarTime(
    std::int32_t fileTime) {
  const platform::CalendarTime time = CalendarOf(fileTime);
  if (!IsValid(time)) return std::nullopt;
  return time;
}

std::string FormatMemberTime(std::int32_t fileTime) {
  const std::optional<platform::CalendarTime> calendar =
      MemberCalendarTime(fileTime);
  if (!calendar) return "---------- --:--";
  const platform::CalendarTime& time = *calendar;
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d",
                static_cast<int>(time.year), static_cast<int>(time.month),
                static_cast<int>(time.day), static_cast<int>(time.hour),
                static_cast<int>(time.minute));
  return text;
}

}  // namespace quendrix::host
