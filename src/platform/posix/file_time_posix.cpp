// POSIX: file times.
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "platform/platform.h"

namespace quendrix::platform {
namespace {

std::optional<struct stat> StatOpened(const std::string& path) {
  if (path.empty()) return std::nullopt;
  // Opening for reading, rather than a bare stat, gives the same answer as
  // the Windows reader for files we may not read.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return std::nullopt;
  struct stat info {};
  const bool ok = fstat(fd, &info) == 0 && !S_ISDIR(info.st_mode);
  close(fd);
  if (!ok) return std::nullopt;
  return info;
}

}  // namespace

void GetArchiveFileTime(const std::string& path, CalendarTime& time,
                        TextEncoding /*encoding*/) {
  const std::optional<struct stat> info = StatOpened(path);
  if (!info) return;
  time = LocalCalendarTime(static_cast<std::int64_t>(info->st_mtime));
}

std::optional<std::int64_t> FileModifiedUnixSeconds(const std::string& path) {
  const std::optional<struct stat> info = StatOpened(path);
  if (!info) return std::nullopt;
  return static_cast<std::int64_t>(info->st_mtime);
}

CalendarTime LocalCalendarTime(std::int64_t unixSeconds) {
  CalendarTime time;
  struct tm local {};
  const time_t seconds = static_cast<time_t>(unixSeconds);
  if (localtime_r(&seconds, &local) == nullptr) return time;
  time.year = local.tm_year + 1900;
  time.month = local.tm_mon + 1;
  time.day = local.tm_mday;
  time.hour = local.tm_hour;
  time.minute = local.tm_min;
  time.second = local.tm_sec;
  return time;
}

std::optional<std::int64_t> UnixSecondsOfLocalTime(const CalendarTime& time) {
  struct tm local {};
  local.tm_year = time.year - 1900;
  local.tm_mon = time.month - 1;
  local.tm_mday = time.day;
  local.tm_hour = time.hour;
  local.tm_min = time.minute;
  local.tm_sec = time.second;
  local.tm_isdst = -1;  // as the zone's rules of that day say
  const time_t seconds = mktime(&local);
  if (seconds == static_cast<time_t>(-1)) return std::nullopt;
  return static_cast<std::int64_t>(seconds);
}

bool SetFileModifiedUnixSeconds(const std::string& path, std::int64_t seconds) {
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = static_cast<time_t>(seconds);
  times[1].tv_nsec = 0;
  return utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

}  // namespace quendrix::platform
