// Windows: appending a line to the operation log with the file calls the
// plug-in's design names, each under the quiet error mode.
#include <windows.h>

#include <string>

#include "platform/platform.h"
#include "platform/win32/file_handle.h"
#include "platform/win32/quiet_errors.h"
#include "platform/win32/wide_text.h"

namespace quendrix::platform {
namespace {

constexpr std::string_view kLineEnd = "\r\n";

// One WriteFile call; what it does not write is lost.
void WriteOnce(HANDLE file, std::string_view bytes) {
  DWORD written = 0;
  win32::WithQuietErrors([&] {
    return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()),
                     &written, nullptr);
  });
}

// Share mode 0 keeps every other opener out until the line is complete; a
// path the system cannot take (too long, say) simply fails to open.
HANDLE OpenExclusively(const std::string& path, TextEncoding encoding) {
  if (encoding == TextEncoding::kUtf8) {
    return CreateFileW(win32::WideFromUtf8(path).c_str(),
                       GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                     OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

AppendOutcome AppendLine(const std::string& path, std::string_view text,
                         TextEncoding pathEncoding) {
  DWORD openError = 0;
  win32::FileHandle file(win32::WithQuietErrors(
      [&] { return OpenExclusively(path, pathEncoding); }, openError));
  if (!file.IsOpen()) {
    return openError == ERROR_SHARING_VIOLATION ||
                   openError == ERROR_LOCK_VIOLATION
               ? AppendOutcome::kBusy
               : AppendOutcome::kFailed;
  }

  // A log whose end cannot be found is left alone: writing at the start
  // would overwrite the lines already there. INVALID_SET_FILE_POINTER is also
  // a valid low part of a position past 4 GiB, so only the error tells.
  DWORD seekError = 0;
  const DWORD position = win32::WithQuietErrors(
      [&] { return SetFilePointer(file.get(), 0, nullptr, FILE_END); },
      seekError);
  if (position == INVALID_SET_FILE_POINTER && seekError != NO_ERROR) {
    return AppendOutcome::kFailed;
  }

  // The line end is a write of its own and is attempted even after a failed
  // text write, so that the next line still starts on a line of its own.
  WriteOnce(file.get(), text);
  WriteOnce(file.get(), kLineEnd);
  return AppendOutcome::kWritten;
}

}  // namespace quendrix::platform
