// Windows: whether a file exists, and making directories.
#include <windows.h>

#include "platform/platform.h"
#include "platform/win32/quiet_errors.h"
#include "platform/win32/wide_text.h"

namespace quendrix::platform {
namespace {

// The path as the wide functions take it: a path in the system's encoding
// is converted by the system's own rules.
std::wstring WidePath(const std::string& path, TextEncoding encoding) {
  return win32::WideFromUtf8(encoding == TextEncoding::kUtf8
                                 ? path
                                 : Utf8FromSystemText(path));
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

}  // namespace

bool FileExists(const std::string& path, TextEncoding encoding) {
  const DWORD attributes = win32::WithQuietErrors([&] {
    return encoding == TextEncoding::kUtf8
               ? GetFileAttributesW(win32::WideFromUtf8(path).c_str())
               : GetFileAttributesA(path.c_str());
  });
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool FolderExists(const std::string& path, TextEncoding encoding) {
  const DWORD attributes = win32::WithQuietErrors(
      [&] { return GetFileAttributesW(WidePath(path, encoding).c_str()); });
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool MakeDirectories(const std::string& path, TextEncoding encoding, FolderAccess /*access*/) {
  const std::wstring wide = WidePath(path, encoding);
  // Each directory from the top down, starting after the drive or the
  // server and share of a UNC path, which cannot be made. A failure on the
  // way is passed over: a directory may exist already (made by another
  // writer a moment ago), or exist without the right to make it (the root
  // of a drive answers "access denied"); only the last one decides.
  std::size_t start = 0;
  if (wide.size() >= 2 && wide[1] == L':') {
    start = 2;
  } else if (wide.size() >= 2 && IsSeparator(wide[0]) && IsSeparator(wide[1])) {
    int separators = 0;
    for (start = 2; start < wide.size() && separators < 2; ++start) {
      if (IsSeparator(wide[start])) ++separators;
    }
  }
  for (std::size_t i = start; i <= wide.size(); ++i) {
    if (i < wide.size() && !IsSeparator(wide[i])) continue;
    if (i == 0 || IsSeparator(wide[i - 1])) continue;
    const std::wstring part = wide.substr(0, i);
    win32::WithQuietErrors([&] { return CreateDirectoryW(part.c_str(), nullptr); });
  }
  const DWORD attributes = win32::WithQuietErrors(
      [&] { return GetFileAttributesW(wide.c_str()); });
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace quendrix::platform
