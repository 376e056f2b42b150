// Windows: the host's arguments from the wide command line, and its output
// to a console in UTF-16.
#include <windows.h>
#include <shellapi.h>

#include "platform/platform.h"
#include "platform/win32/wide_text.h"

namespace quendrix::platform {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  int count = 0;
  wchar_t** words = CommandLineToArgvW(GetCommandLineW(), &count);
  if (words == nullptr) {
    // Without memory for the wide words the ANSI ones are the best there is.
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) arguments.push_back(Utf8FromSystemText(argv[i]));
    return arguments;
  }
  std::vector<std::string> arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(win32::Utf8FromWide(words[i]));
  LocalFree(words);
  return arguments;
}

void WriteStandardText(StandardStream stream, std::string_view text) {
  const HANDLE handle = GetStdHandle(
      stream == StandardStream::kOutput ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
  DWORD mode = 0;
  DWORD written = 0;
  if (GetConsoleMode(handle, &mode)) {
    const std::wstring wide = win32::WideFromUtf8(text);
    WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written,
                  nullptr);
    return;
  }
  // A file or a pipe gets the UTF-8 bytes, in as many writes as it takes.
  while (!text.empty()) {
    if (!WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written,
                   nullptr) ||
        written == 0) {
      return;
    }
    text.remove_prefix(written);
  }
}

}  // namespace quendrix::platform
