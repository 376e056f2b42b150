// Windows: whether standard error is a console.
#include <windows.h>

#include "platform/platform.h"

namespace quendrix::platform {

bool StandardErrorIsTerminal() {
  // Only a console handle has a console mode; a file or a pipe has none.
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

}  // namespace quendrix::platform
