// The placeholders that the plug-in fills in, and how a value is written
// into a command line in each path style.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace quendrix {

inline constexpr std::string_view kPluginDirPlaceholder = "[quendrix_path]";
inline constexpr std::string_view kArchivePathPlaceholder = "filein";
inline constexpr std::string_view kBaseNamePlaceholder = "[N]";
inline constexpr std::string_view kExtensionPlaceholder = "[E]";
inline constexpr std::string_view kDestinationPlaceholder = "fileout";
// A listed member's name, in the command that makes any listed member.
inline constexpr std::string_view kMemberPlaceholder = "[M]";

inline constexpr std::array<std::string_view, 6> kPlaceholders = {
    kPluginDirPlaceholder, kArchivePathPlaceholder, kBaseNamePlaceholder,
    kExtensionPlaceholder, kDestinationPlaceholder, kMemberPlaceholder};

// The text that puts `value` into a command line between `before` and
// `after`.
//
// The Windows style writes the value as it is: the started program parses
// its own command line.
//
// The POSIX style writes it so that SplitCommandLine reads back exactly
// `value`, inside the word where it stands: quoted for the quoting in force
// at the end of `before`, with a backslash that ends `before` taken into
// account. Placeholders and environment tokens inside the value are broken
// up by an empty pair of quotes, and so is one that the value would form
// together with `before` or `after` (an empty pair stands at that edge), so
// that no later step of the expansion, and no extraction, finds one in an
// inserted value. The one exception: an empty value right after a backslash
// outside quotes is nothing, and leaves the backslash to act on `after`, as
// it would with the placeholder removed; that can change how the rest of the
// line is quoted, around values put in before as well.
std::string InsertionText(std::string_view before, std::string_view value,
                          std::string_view after, platform::PathStyle style);

// Replaces every occurrence of `placeholder` in `command` (see ReplaceEach)
// by `value` as InsertionText writes it at that place; the result is cut to
// `limit` characters.
std::string ReplacePlaceholder(std::string_view command,
                               std::string_view placeholder,
                               std::string_view value,
                               platform::PathStyle style, std::size_t limit);

}  // namespace quendrix
