// Windows: file times, read with the calls and flags the plug-in's design
// names, each bracketed by the quiet error mode.
#include <windows.h>

#include <string>

#include "platform/platform.h"
#include "platform/win32/unix_epoch.h"
#include "platform/win32/file_handle.h"
#include "platform/win32/quiet_errors.h"
#include "platform/win32/wide_text.h"

namespace quendrix::platform {
namespace {

using win32::FileHandle;

constexpr std::size_t kOpenPathLimit = 255;

// The FILETIME epoch is 1601-01-01; Unix time starts 11644473600 s later.
using win32::kUnixEpochIn100ns;

// Opens for reading only, letting other programs read and write the file
// meanwhile. Paths with wildcards are never opened. UTF-8 text is cut, like
// the system's, to kOpenPathLimit characters, here UTF-16 units.
HANDLE OpenForTime(const std::string& path, TextEncoding encoding) {
  if (path.empty() || path.find_first_of("*?") != std::string::npos) {
    return INVALID_HANDLE_VALUE;
  }
  if (encoding == TextEncoding::kUtf8) {
    const std::wstring cut = win32::WideFromUtf8(path).substr(0, kOpenPathLimit);
    return win32::WithQuietErrors([&] {
      return CreateFileW(cut.c_str(), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    });
  }
  const std::string cut = path.substr(0, kOpenPathLimit);
  return win32::WithQuietErrors([&] {
    return CreateFileA(cut.c_str(), GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  });
}

}  // namespace

void GetArchiveFileTime(const std::string& path, CalendarTime& time,
                        TextEncoding encoding) {
  FileHandle file(OpenForTime(path, encoding));
  if (!file.IsOpen()) return;
  FILETIME creation{}, access{}, write{};
  GetFileTime(file.get(), &creation, &access, &write);
  FILETIME local{};
  FileTimeToLocalFileTime(&write, &local);
  SYSTEMTIME system{};
  FileTimeToSystemTime(&local, &system);
  time.year = system.wYear;
  time.month = system.wMonth;
  time.day = system.wDay;
  time.hour = system.wHour;
  time.minute = system.wMinute;
  time.second = system.wSecond;
}

std::optional<std::int64_t> FileModifiedUnixSeconds(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
    return std::nullopt;
  }
  const std::int64_t ticks =
      (static_cast<std::int64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
      data.ftLastWriteTime.dwLowDateTime;
  return (ticks - kUnixEpochIn100ns) / 10000000;
}

CalendarTime LocalCalendarTime(std::int64_t unixSeconds) {
  const std::int64_t ticks = unixSeconds * 10000000 + kUnixEpochIn100ns;
  const FILETIME utc{static_cast<DWORD>(ticks & 0xFFFFFFFF),
                     static_cast<DWORD>(ticks >> 32)};
  FILETIME local{};
  SYSTEMTIME system{};
  CalendarTime time;
  if (!FileTimeToLocalFileTime(&utc, &local) ||
      !FileTimeToSystemTime(&local, &system)) {
    return time;
  }
  time.year = system.wYear;
  time.month = system.wMonth;
  time.day = system.wDay;
  time.hour = system.wHour;
  time.minute = system.wMinute;
  time.second = system.wSecond;
  return time;
}

std::optional<std::int64_t> UnixSecondsOfLocalTime(const CalendarTime& time) {
  const SYSTEMTIME local{static_cast<WORD>(time.year),  static_cast<WORD>(time.month), 0,
                         static_cast<WORD>(time.day),   static_cast<WORD>(time.hour),
                         static_cast<WORD>(time.minute), static_cast<WORD>(time.second), 0};
  SYSTEMTIME utc{};
  FILETIME ticks{};
  if (!TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) ||
      !SystemTimeToFileTime(&utc, &ticks)) {
    return std::nullopt;
  }
  const std::int64_t value =
      (static_cast<std::int64_t>(ticks.dwHighDateTime) << 32) | ticks.dwLowDateTime;
  return (value - kUnixEpochIn100ns) / 10000000;
}

bool SetFileModifiedUnixSeconds(const std::string& path, std::int64_t seconds) {
  FileHandle file(CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                              nullptr));
  if (!file.IsOpen()) return false;
  const std::int64_t ticks = seconds * 10000000 + kUnixEpochIn100ns;
  FILETIME write{static_cast<DWORD>(ticks & 0xFFFFFFFF),
                 static_cast<DWORD>(ticks >> 32)};
  return SetFileTime(file.get(), nullptr, nullptr, &write) != FALSE;
}

}  // namespace quendrix::platform
