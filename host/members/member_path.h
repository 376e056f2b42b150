// Where an extracted member goes below the destination directory.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace quendrix::host {

// The member name as a path relative to the destination directory, written
// with the separator of `style`; nothing when the name would reach outside
// that directory or names no file: an empty name, an absolute path, a ".."
// part, a name that ends in a separator or, in the Windows style, a drive or
// stream colon. Both "/" and "\" separate in the Windows style, only "/" in
// the POSIX style; empty and "." parts are dropped. A plug-in's member names
// are not trusted: extracting never writes outside the chosen directory.
std::optional<std::string> RelativeMemberPath(std::string_view name,
                                              platform::PathStyle style);

}  // namespace quendrix::host
