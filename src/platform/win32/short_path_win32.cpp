// Windows: the short (8.3) form of a path, from the file system.
#include <windows.h>

#include <array>

#include "platform/platform.h"
#include "platform/win32/wide_text.h"

namespace quendrix::platform {

namespace {

std::string WideShortPathOf(const std::string& path) {
  std::array<wchar_t, kShortPathLimit + 1> buffer{};
  const DWORD length = GetShortPathNameW(win32::WideFromUtf8(path).c_str(),
                                         buffer.data(),
                                         static_cast<DWORD>(buffer.size()));
  if (length == 0 || length >= buffer.size()) return {};
  return win32::Utf8FromWide(std::wstring_view(buffer.data(), length));
}

}  // namespace

std::string ShortPathOf(const std::string& path, TextEncoding encoding) {
  if (encoding == TextEncoding::kUtf8) return WideShortPathOf(path);
  std::array<char, kShortPathLimit + 1> buffer{};
  // On success the result is the length without the terminating zero; a
  // result that does not fit is the size it would need, and 0 is a failure.
  const DWORD length = GetShortPathNameA(path.c_str(), buffer.data(),
                                         static_cast<DWORD>(buffer.size()));
  if (length == 0 || length >= buffer.size()) return {};
  return std::string(buffer.data(), length);
}

}  // namespace quendrix::platform
