// The listing that Midnight Commander's extfs reads from a helper's `list`
// verb: one line in the manner of `ls -l` per member.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "client/archive_session.h"

namespace quendrix::host {

// Why mc could not show `name` as it stands and ask for it again by the same
// name; nothing when it can. mc reads one line per entry, drops a carriage
// return at a line's end, and takes every name as a path below the archive's
// root that it cleans up: a name with a line break, one that ends in a
// carriage return, and one with an empty, "." or ".." part (a leading or
// trailing "/" included) would reach the user, and come back in a copyout,
// as another name or not at all.
std::optional<std::string> McNameObstacle(std::string_view name);

// The line for `member`, newline included: a read-write regular file owned
// by `owner` and `group` (numbers), its size, the local date and time of its
// time stamp in the MM-DD-YYYY hh:mm:ss form, and the name after "./", which
// keeps a leading blank from being read as the space between the columns.
// A size below zero is shown as 0 and a time stamp that is no valid time as
// the first second of 1970. Meant for names that McNameObstacle accepts.
std::string McListingLine(const MemberHeader& member, std::uint32_t owner,
                          std::uint32_t group);

}  // namespace quendrix::host
