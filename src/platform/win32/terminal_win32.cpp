// Windows: whether standard error is a console, and Ctrl+C.
#include <windows.h>

#include <atomic>

#include "platform/platform.h"

namespace quendrix::platform {
namespace {

std::atomic<bool> g_interrupted{false};

// The console calls this on a thread of its own. The first Ctrl+C or
// Ctrl+Break is taken; after that the default handler ends the process.
BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  return g_interrupted.exchange(true) ? FALSE : TRUE;
}

}  // namespace

bool StandardErrorIsTerminal() {
  // Only a console handle has a console mode; a file or a pipe has none.
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

void CatchInterrupt() { SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }

bool InterruptRequested() { return g_interrupted.load(); }

}  // namespace quendrix::platform
