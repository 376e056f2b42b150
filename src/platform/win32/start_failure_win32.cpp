#include "platform/win32/start_failure.h"

#include <algorithm>

#include "platform/win32/wide_text.h"

namespace quendrix::platform::win32 {

std::string ProgramOf(std::string_view line) {
  line.remove_prefix(std::min(line.find_first_not_of(" \t"), line.size()));
  if (line.starts_with('"')) {
    line.remove_prefix(1);
    return std::string(line.substr(0, line.find('"')));
  }
  return std::string(line.substr(0, line.find_first_of(" \t")));
}

std::string SystemMessage(DWORD error, TextEncoding encoding) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring wide = length != 0 && text != nullptr ? std::wstring(text, length) : std::wstring();
  if (text != nullptr) LocalFree(text);
  while (!wide.empty() && (wide.back() == L'\n' || wide.back() == L'\r' ||
                           wide.back() == L' ' || wide.back() == L'.')) {
    wide.pop_back();
  }
  if (wide.empty()) return "system error " + std::to_string(error);
  const std::string utf8 = Utf8FromWide(wide);
  return encoding == TextEncoding::kUtf8 ? utf8 : SystemTextFromUtf8(utf8);
}

ProcessOutcome NotStarted(const std::string& commandLine, DWORD error,
                          TextEncoding encoding) {
  if (commandLine.find_first_not_of(" \t") == std::string::npos) return {};
  ProcessOutcome outcome;
  outcome.failedStage = 0;
  outcome.program = ProgramOf(commandLine);
  outcome.startError = SystemMessage(error, encoding);
  return outcome;
}

}  // namespace quendrix::platform::win32
