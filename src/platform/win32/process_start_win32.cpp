#include "platform/win32/process_start.h"

#include <vector>

#include "platform/win32/quiet_errors.h"
#include "platform/win32/wide_text.h"

namespace quendrix::platform::win32 {
namespace {

// The two functions differ only in their text, so one template serves both.
template <typename Char, typename StartupInfo, typename Create>
bool Start(const std::basic_string<Char>& commandLine, std::uint32_t showState,
           DWORD flags, Create create, PROCESS_INFORMATION& info, DWORD& lastError) {
  // CreateProcess may write into the command line, so it gets a copy of its
  // own, zero-terminated.
  std::vector<Char> buffer(commandLine.begin(), commandLine.end());
  buffer.push_back(Char{});

  StartupInfo startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(showState);

  // Default security, and neither handle inheritable by the program's own
  // children.
  SECURITY_ATTRIBUTES security{};
  security.nLength = sizeof security;
  security.lpSecurityDescriptor = nullptr;
  security.bInheritHandle = FALSE;

  // The program takes over the quiet error mode at its creation, so a
  // converter that touches an empty drive shows no dialog either.
  return WithQuietErrors(
             [&] {
               return create(nullptr, buffer.data(), &security, &security, FALSE, flags,
                             nullptr, nullptr, &startup, &info);
             },
             lastError) != FALSE;
}

}  // namespace

bool StartProcess(const std::string& commandLine, std::uint32_t showState,
                  DWORD flags, TextEncoding encoding, PROCESS_INFORMATION& info,
                  DWORD& lastError) {
  if (encoding == TextEncoding::kUtf8) {
    return Start<wchar_t, STARTUPINFOW>(WideFromUtf8(commandLine), showState,
                                        flags, CreateProcessW, info, lastError);
  }
  return Start<char, STARTUPINFOA>(commandLine, showState, flags,
                                   CreateProcessA, info, lastError);
}

}  // namespace quendrix::platform::win32
