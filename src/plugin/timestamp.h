// The one time stamp every member carries: the archive file's own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "format/member_list.h"
#include "platform/platform.h"

namespace quendrix {

// Packs calendar components into the 32-bit MS-DOS date/time: year - 1980 in
// bits 25-31, month 21-24, day 16-20, hour 11-15, minute 5-10, second / 2 in
// 0-4. Nothing is masked or clamped: a value too large for its field spills
// into its neighbours, and bits pushed past bit 31 are lost.
std::uint32_t PackDosDateTime(std::int32_t day, std::int32_t month,
                              std::int32_t year, std::int32_t hour,
                              std::int32_t minute, std::int32_t second);

// What the header's FileTime holds on this platform, in words: a DOS date
// on Windows reaches from 1980 to 2107; elsewhere the unsigned seconds
// since 1970 that the hosts read reach 2106-02-07 06:28:15 UTC.
std::string_view HeaderTimeReach();

// The FileTime value this platform's hosts expect for every member of the
// archive at `archivePath`: on Windows the packed local last-write time
// (0x88000000, the packing of all-zero components, when the file cannot be
// read or its year lies outside the DOS date's); elsewhere the last-write
// time in seconds since 1970 (0 when the file cannot be read or its time
// lies outside HeaderTimeReach). The path is written in `encoding`.
std::uint32_t ArchiveHeaderTime(
    const std::string& archivePath,
    platform::TextEncoding encoding = platform::TextEncoding::kSystem);

// The FileTime value this platform's hosts expect for a member whose list
// gave it the local time `time`: packed on Windows, seconds since 1970
// elsewhere. Nothing when FileTime cannot hold it (see HeaderTimeReach) or
// the system cannot place it.
std::optional<std::uint32_t> HeaderTimeOf(const ListedTime& time);

// Seconds since 1970 as FileTime holds them where hosts read it so;
// nothing outside HeaderTimeReach.
std::optional<std::uint32_t> HeaderTimeOfUnixSeconds(std::int64_t seconds);

}  // namespace quendrix
