// Windows: conversions between UTF-8, UTF-16 and the ANSI code page.
#include <windows.h>

#include <vector>

#include "format/utf16_text.h"
#include "platform/platform.h"
#include "platform/win32/wide_text.h"

namespace quendrix::platform {
namespace win32 {

std::wstring WideFromUtf8(std::string_view utf8) {
  const std::u16string units = Utf16FromUtf8(utf8);
  return std::wstring(units.begin(), units.end());
}

std::string Utf8FromWide(std::wstring_view wide) {
  const std::u16string units(wide.begin(), wide.end());
  return Utf8FromUtf16(units);
}

}  // namespace win32
namespace {

// The ANSI form of `wide`; `exact` tells whether every character had one
// of its own, neither a best fit nor the default character.
std::string AnsiFromWide(std::wstring_view wide, bool& exact) {
  exact = true;
  if (wide.empty()) return {};
  // UTF-8 as the ANSI code page writes every character exactly and takes
  // neither the flag nor the question about the default character.
  const bool utf8CodePage = GetACP() == CP_UTF8;
  const DWORD flags = utf8CodePage ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL usedDefault = FALSE;
  BOOL* usedDefaultQuestion = utf8CodePage ? nullptr : &usedDefault;
  const int length = static_cast<int>(wide.size());
  const int size = WideCharToMultiByte(CP_ACP, flags, wide.data(), length,
                                       nullptr, 0, nullptr, nullptr);
  if (size <= 0) {
    exact = false;
    return {};
  }
  std::vector<char> bytes(static_cast<std::size_t>(size));
  const int written =
      WideCharToMultiByte(CP_ACP, flags, wide.data(), length, bytes.data(),
                          size, nullptr, usedDefaultQuestion);
  exact = written > 0 && usedDefault == FALSE;
  return std::string(bytes.data(), written > 0 ? static_cast<std::size_t>(written) : 0);
}

}  // namespace

std::optional<std::string> SystemTextIfExact(std::string_view utf8) {
  bool exact = false;
  std::string ansi = AnsiFromWide(win32::WideFromUtf8(utf8), exact);
  if (!exact) return std::nullopt;
  return ansi;
}

std::string SystemTextFromUtf8(std::string_view utf8) {
  bool exact = false;
  return AnsiFromWide(win32::WideFromUtf8(utf8), exact);
}

std::string Utf8FromSystemText(std::string_view text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  const int size = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
  if (size <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  const int written =
      MultiByteToWideChar(CP_ACP, 0, text.data(), length, wide.data(), size);
  wide.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
  return win32::Utf8FromWide(wide);
}

}  // namespace quendrix::platform
