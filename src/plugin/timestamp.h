// The one time stamp every member carries: the archive file's own.
#pragma once

#include <cstdint>
#include <string>

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

// The FileTime value this platform's hosts expect for every member of the
// archive at `archivePath`: on Windows the packed local last-write time
// (0x88000000, the packing of all-zero components, when the file cannot be
// read); elsewhere the last-write time in seconds since 1970 (0 when the
// file cannot be read). The path is written in `encoding`.
std::uint32_t ArchiveHeaderTime(
    const std::string& archivePath,
    platform::TextEncoding encoding = platform::TextEncoding::kSystem);

// The FileTime value this platform's hosts expect for a member whose list
// gave it the local time `time`: packed on Windows, seconds since 1970
// elsewhere (0 when the system cannot place the time).
std::uint32_t HeaderTimeOf(const ListedTime& time);

}  // namespace quendrix
