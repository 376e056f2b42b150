// Windows: the state of a file, and removing one.
#include <windows.h>

#include "platform/platform.h"
#include "platform/win32/file_handle.h"
#include "platform/win32/quiet_errors.h"
#include "platform/win32/wide_text.h"

namespace quendrix::platform {

std::optional<FileState> StateOfFile(const std::string& path,
                                     TextEncoding encoding) {
  // Opened for no access at all, shared with everyone, so that a converter
  // that holds the file open for writing is not disturbed.
  constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  const win32::FileHandle file(win32::WithQuietErrors([&] {
    return encoding == TextEncoding::kUtf8
               ? CreateFileW(win32::WideFromUtf8(path).c_str(), 0, kShareAll,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)
               : CreateFileA(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
  }));
  if (!file.IsOpen()) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file.get(), &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return std::nullopt;
  }
  FileState state;
  state.size = (static_cast<std::int64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  state.modified = (static_cast<std::int64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
                   info.ftLastWriteTime.dwLowDateTime;
  FILE_BASIC_INFO basic{};
  if (GetFileInformationByHandleEx(file.get(), FileBasicInfo, &basic, sizeof basic)) {
    state.changed = basic.ChangeTime.QuadPart;
  }
  state.identity = ((static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) |
                    info.nFileIndexLow) ^
                   (static_cast<std::uint64_t>(info.dwVolumeSerialNumber) << 48);
  return state;
}

bool RemoveFile(const std::string& path, TextEncoding encoding) {
  return win32::WithQuietErrors([&] {
           return encoding == TextEncoding::kUtf8
                      ? DeleteFileW(win32::WideFromUtf8(path).c_str())
                      : DeleteFileA(path.c_str());
         }) != 0;
}

}  // namespace quendrix::platform
