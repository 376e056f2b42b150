// Windows: whether a file is a program, and the program of a bare name in
// the order CreateProcess itself would search for it (SearchPathW).
#include <windows.h>

#include <vector>

#include "platform/platform.h"
#include "platform/win32/quiet_errors.h"
#include "platform/win32/wide_text.h"

namespace quendrix::platform {
namespace {

std::wstring WideOf(const std::string& text, TextEncoding encoding) {
  return win32::WideFromUtf8(encoding == TextEncoding::kUtf8 ? text : Utf8FromSystemText(text));
}

}  // namespace

bool IsProgramFile(const std::string& path, TextEncoding encoding) {
  const DWORD attributes = win32::WithQuietErrors(
      [&] { return GetFileAttributesW(WideOf(path, encoding).c_str()); });
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::optional<std::string> FindProgramOnPath(const std::string& name, TextEncoding encoding,
                                             const FolderMayHold& /*mayHold*/) {
  if (name.empty()) return std::nullopt;
  const std::wstring wide = WideOf(name, encoding);
  std::vector<wchar_t> found(MAX_PATH);
  for (;;) {
    const DWORD length = win32::WithQuietErrors([&] {
      return SearchPathW(nullptr, wide.c_str(), L".exe", static_cast<DWORD>(found.size()),
                         found.data(), nullptr);
    });
    if (length == 0) return std::nullopt;
    if (length < found.size()) {
      const std::string utf8 = win32::Utf8FromWide(std::wstring_view(found.data(), length));
      if (encoding == TextEncoding::kUtf8) return utf8;
      return SystemTextIfExact(utf8);
    }
    found.resize(length);
  }
}

}  // namespace quendrix::platform
