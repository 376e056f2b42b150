// Reading the FileTime of a header record as this platform's hosts read it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/platform.h"

namespace quendrix::host {

// "YYYY-MM-DD HH:MM", or "---------- --:--" for a value that is no valid
// time. Windows hosts read FileTime as a packed DOS date/time, Linux hosts as
// seconds since 1970.
std::string FormatMemberTime(std::int32_t fileTime);

// False when FormatMemberTime would show no date for `fileTime`.
bool IsValidMemberTime(std::int32_t fileTime);

// The local calendar time that `fileTime` stands for; nothing when it is no
// valid time.
std::optional<platform::CalendarTime> MemberCalendarTime(std::int32_t fileTime);

}  // namespace quendrix::host
