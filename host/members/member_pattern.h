// Shell-style patterns that select members by name.
#pragma once

#include <string_view>

#include "platform/platform.h"

namespace quendrix::host {

// True when `name` matches `pattern` as a shell matches a file name, except
// that "*" also matches path separators, since a member name is one string:
// "*" matches any run of characters, "?" any one character, "[abc]", "[a-z]"
// one of a set and "[!abc]" or "[^abc]" one character outside it. In the
// POSIX style a backslash makes the next character literal; in the Windows
// style it is a path separator like any other character. A "[" without its
// "]" is an ordinary character. Time is bounded by the product of the two
// lengths, whatever the pattern.
bool MatchesPattern(std::string_view pattern, std::string_view name,
                    platform::PathStyle style);

}  // namespace quendrix::host
