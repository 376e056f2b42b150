// Windows: the start of a program, through CreateProcessA for text in the
// ANSI code page and CreateProcessW for UTF-8 text.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace quendrix::platform::win32 {

// Starts the program that `commandLine` names, with the window show state
// `showState`, the creation flags `flags`, no inherited handle, the caller's
// environment and current directory, under the quiet error mode. Fills
// `info` and returns true when the program was created; the caller closes
// both handles. Otherwise `lastError` says why.
bool StartProcess(const std::string& commandLine, std::uint32_t showState,
                  DWORD flags, TextEncoding encoding, PROCESS_INFORMATION& info,
                  DWORD& lastError);

}  // namespace quendrix::platform::win32
