// UTF-16 text, as the wide functions of the packer interface and of Windows
// pass it, and the UTF-8 form in which quendrix carries such text inside.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quendrix {

// The UTF-8 form of `text`. Windows file names may hold a surrogate without
// its partner; such a unit is written as the three bytes its number would
// take (as WTF-8 writes it), so that Utf16FromUtf8 gives it back and no name
// is lost on the way through.
std::string Utf8FromUtf16(std::u16string_view text);

// The UTF-16 form of `text`, the inverse of Utf8FromUtf16. The three-byte
// form of a surrogate gives that surrogate back. A sequence that breaks off
// at the very end of the text (a value cut to a byte limit in the middle of
// a character) is dropped; every other byte that starts no valid sequence,
// or ends one early, becomes U+FFFD, one for each maximal broken part.
std::u16string Utf16FromUtf8(std::string_view text);

// Appends the UTF-8 form of the code point `code` to `out`; a surrogate's
// number takes the three bytes it would take as a character.
void AppendUtf8(std::string& out, char32_t code);

// `text` cut to at most `limit` units, one unit less when the cut would
// separate the two halves of a surrogate pair.
std::u16string_view CutUtf16(std::u16string_view text, std::size_t limit);

// The zero-terminated text that `text` points to; empty for a null pointer.
std::u16string_view Utf16Terminated(const char16_t* text);

}  // namespace quendrix
