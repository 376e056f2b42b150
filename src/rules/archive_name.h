// Splitting an archive path into the base name and extension the rules use.
#pragma once

#include <string>
#include <string_view>

#include "platform/platform.h"

namespace quendrix {

struct ArchiveName {
  std::string baseName;   // file name without directory and last extension
  std::string extension;  // text after the file name's last dot; empty without one
};

// Only the separator of `style` separates directories: in the Windows style a
// forward slash is an ordinary character. A dot in a directory name plays no
// part.
ArchiveName SplitArchiveName(std::string_view path, platform::PathStyle style);

}  // namespace quendrix
