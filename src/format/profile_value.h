// How the Windows profile functions treat the texts around a value: the
// names they are asked for, the default, and the copy into the caller's
// buffer. Shared by our own reader of a whole file and by the Windows reader,
// which answers keys from the system's listing of a section.
#pragma once

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quendrix {

// The Windows reader counts Ctrl-Z, left at the end of files by old editors,
// as white space along with the ASCII blanks and line ends; nothing outside
// ASCII is white space to it.
inline bool IsProfileSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' ||
         c == '\f' || c == '\x1a';
}

inline std::string_view TrimProfileStart(std::string_view text) {
  const auto first = std::find_if_not(text.begin(), text.end(), IsProfileSpace);
  text.remove_prefix(static_cast<std::size_t>(first - text.begin()));
  return text;
}

inline std::string_view TrimProfileEnd(std::string_view text) {
  while (!text.empty() && IsProfileSpace(text.back())) text.remove_suffix(1);
  return text;
}

// Names are trimmed on both sides, in the file and when they are asked for.
inline std::string_view TrimProfileName(std::string_view text) {
  return TrimProfileEnd(TrimProfileStart(text));
}

// The Windows reader keeps names and values as C strings, and is asked with
// C strings, so a NUL byte ends them.
inline std::string_view UpToNul(std::string_view text) {
  return text.substr(0, text.find('\0'));
}

// What GetPrivateProfileStringA puts into a buffer of `bufferSize` bytes
// (bufferSize > 0) when the key's value is `value`, or when the key is
// missing (no value): the value, or else the default with its trailing
// blanks removed, without a pair of enclosing quotation marks, cut to the
// buffer.
std::string ProfileAnswer(std::optional<std::string_view> value,
                          std::string_view defaultValue,
                          std::size_t bufferSize);

}  // namespace quendrix
