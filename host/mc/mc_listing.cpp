#include "mc/mc_listing.h"

#include <cstdio>

#include "members/member_time.h"

namespace quendrix::host {

std::optional<std::string> McNameObstacle(std::string_view name) {
  if (name.find('\n') != std::string_view::npos) {
    return "its name holds a line break, which ends a line of the listing";
  }
  if (name.empty()) return "its name is empty";
  if (name.back() == '\r') {
    return "its name ends in a carriage return, which mc drops";
  }
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = name.find('/', start);
    const std::string_view part = name.substr(start, end - start);
    if (part.empty() || part == "." || part == "..") {
      return "its name has an empty, \".\" or \"..\" part, which mc removes "
             "from the path";
    }
    if (end == std::string_view::npos) return std::nullopt;
    start = end + 1;
  }
}

std::string McListingLine(const MemberHeader& member, std::uint32_t owner,
                          std::uint32_t group) {
  const platform::CalendarTime time =
      MemberCalendarTime(member.fileTime)
          .value_or(platform::CalendarTime{1970, 1, 1, 0, 0, 0});
  char columns[128];
  std::snprintf(columns, sizeof columns,
                "-rw-r--r--    1 %-8u %-8u %8ld %02d-%02d-%04d %02d:%02d:%02d ",
                static_cast<unsigned>(owner), static_cast<unsigned>(group),
                static_cast<long>(member.size < 0 ? 0 : member.size),
                static_cast<int>(time.month), static_cast<int>(time.day),
                static_cast<int>(time.year), static_cast<int>(time.hour),
                static_cast<int>(time.minute), static_cast<int>(time.second));
  std::string line = columns;
  line += "./";
  line += member.name;
  line += '\n';
  return line;
}

}  // namespace quendrix::host
