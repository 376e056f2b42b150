// The system's table of mounts (/proc/self/mounts), read so that
// `quendrix unmount` unmounts a quendrix mount and nothing else.
#pragma once

#include <string>
#include <string_view>

namespace quendrix::host::mount {

// The type a quendrix mount has in the table.
inline constexpr std::string_view kMountType = "fuse.quendrix";

// Whether the table `mounts` (in the form of /proc/self/mounts, where a
// blank, tab, newline or backslash in a path is written as an octal escape)
// has a mount of `type` at `mountPoint`.
bool HasMount(std::string_view mounts, const std::string& mountPoint,
              std::string_view type);

}  // namespace quendrix::host::mount
