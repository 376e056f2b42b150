// What a change to a text file looks like, as `diff -u` shows it: what
// `quendrix setup --dry-run` prints instead of writing.
#pragma once

#include <string>
#include <string_view>

namespace quendrix::host {

// The unified diff from `before` to `after`, with three lines of context
// around each change and the two labels in its header; empty when the
// texts are the same. Lines end at "\n"; a last line without one is marked
// as diff marks it.
std::string UnifiedDiff(std::string_view before, std::string_view after,
                        std::string_view beforeLabel, std::string_view afterLabel);

}  // namespace quendrix::host
