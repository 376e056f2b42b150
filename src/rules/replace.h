// Text replacement as the rules use it everywhere: every occurrence, found
// from left to right.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace quendrix {

// The text to insert for one occurrence, given the result built so far (all
// of the text before the occurrence, with earlier occurrences replaced) and
// the text after the occurrence as it stands in the original.
using InsertionFor =
    std::function<std::string(std::string_view built, std::string_view after)>;

// Replaces every occurrence of `from` in `text`: byte-exact and with case,
// non-overlapping, each found after the end of the one before; inserted text
// is not searched again. An empty `from`, or a text shorter than it, leaves
// the text unchanged. The result is cut to `limit` characters, and no more
// than that is ever built.
std::string ReplaceEach(std::string_view text, std::string_view from,
                        const InsertionFor& insertion, std::size_t limit);

// ReplaceEach with the same text `to` for every occurrence.
std::string ReplaceAll(std::string_view text, std::string_view from,
                       std::string_view to, std::size_t limit);

}  // namespace quendrix
