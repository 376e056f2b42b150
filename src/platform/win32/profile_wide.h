// Windows: the profile reader for UTF-8 text, through the wide profile
// functions, which read ANSI and UTF-16 files alike.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quendrix::platform::win32 {

// What GetPrivateProfileStringW answers for `key` in `section` of the file at
// `path`, with every text in UTF-8: the value, or `defaultValue`, cut to
// bufferSize - 1 UTF-16 units, one less when the cut would separate the
// halves of a surrogate pair.
std::string ReadWideProfileString(const std::string& path,
                                  std::string_view section,
                                  std::string_view key,
                                  std::string_view defaultValue,
                                  std::size_t bufferSize);

}  // namespace quendrix::platform::win32
