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

// The standard handles of a program whose output the host reads. The
// caller makes them not inheritable; they are inheritable only for the span
// of the start, under the module-wide lock.
struct StandardHandles {
  HANDLE input;
  HANDLE output;
  HANDLE error;
};

// As StartProcess, hidden, with `handles` as the program's standard handles
// and the only handles it inherits: they are named in an explicit handle
// list (PROC_THREAD_ATTRIBUTE_HANDLE_LIST), so that no other inheritable
// handle of the host, whoever opened it, reaches the program. Nothing is
// started when the list cannot be made.
bool StartProcessWithHandles(const std::string& commandLine, DWORD flags,
                             TextEncoding encoding, const StandardHandles& handles,
                             PROCESS_INFORMATION& info, DWORD& lastError);

}  // namespace quendrix::platform::win32
