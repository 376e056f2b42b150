// Windows: what the outcome of a command line that started nothing says.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "platform/platform.h"

namespace quendrix::platform::win32 {

// The program of a command line as CreateProcess reads it: a quoted path, or
// the text up to the first blank.
std::string ProgramOf(std::string_view line);

// The system's words for an error code, in `encoding`, without the line end
// the system puts after them.
std::string SystemMessage(DWORD error, TextEncoding encoding);

// The outcome of `commandLine` when its program could not be started for
// `error`: the program it names and the system's reason. A line of blanks
// names no program, and nothing was tried: its outcome says nothing more.
ProcessOutcome NotStarted(const std::string& commandLine, DWORD error,
                          TextEncoding encoding);

}  // namespace quendrix::platform::win32
