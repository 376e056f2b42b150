// The text that takes the place of "fileout" when a member is extracted.
#pragma once

#include <string>
#include <string_view>

#include "platform/platform.h"
#include "rules/expand.h"

namespace quendrix {

// The destination for `destName`, the full path of the file the host expects.
// With the short form on, only the directory part (up to and including the
// last separator) is shortened: the file the command is to write does not
// exist yet and has no short name. When the directory has no short form, it
// is used as it is, so that the file never lands in some other directory.
std::string BuildDestination(std::string_view destName, bool shortFileName,
                             platform::PathStyle style,
                             const ShortPathLookup& shortPathOf);

}  // namespace quendrix
