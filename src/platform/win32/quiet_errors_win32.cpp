// Windows: the module-wide busy-wait lock.
#include "platform/win32/quiet_errors.h"

namespace quendrix::platform::win32 {
namespace {

std::atomic<LONG> g_moduleLock{0};

}  // namespace

ModuleLock::ModuleLock() {
  while (g_moduleLock.exchange(1, std::memory_order_acquire) != 0) {
    // The holder is inside one short system call; give it the processor.
    Sleep(0);
  }
}

ModuleLock::~ModuleLock() { g_moduleLock.store(0, std::memory_order_release); }

}  // namespace quendrix::platform::win32
