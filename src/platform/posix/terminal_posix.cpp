// POSIX: whether standard error is a terminal, and Ctrl+C.
#include <signal.h>
#include <unistd.h>

#include <atomic>

#include "platform/platform.h"

namespace quendrix::platform {
namespace {

// Lock-free, so that the signal handler may set it.
std::atomic<bool> g_interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void OnInterrupt(int) { g_interrupted.store(true); }

}  // namespace

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

void CatchInterrupt() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  // The handler serves once; the next SIGINT has its default effect. No
  // SA_RESTART: a wait in progress returns, and the host looks at the flag.
  action.sa_flags = SA_RESETHAND;
  sigaction(SIGINT, &action, nullptr);
}

bool InterruptRequested() { return g_interrupted.load(); }

}  // namespace quendrix::platform
