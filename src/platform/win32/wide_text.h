// Windows: text for the wide (W) system functions, which take UTF-16 in
// wchar_t, from the UTF-8 text quendrix carries, and back.
#pragma once

#include <string>
#include <string_view>

namespace quendrix::platform::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t),
              "the wide Windows functions take 2-byte units");

std::wstring WideFromUtf8(std::string_view utf8);
std::string Utf8FromWide(std::wstring_view wide);

}  // namespace quendrix::platform::win32
