// The open sessions, found by the handle values handed to the host.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "plugin/session.h"

namespace quendrix {

// A host that never closes its archives must not make the plug-in grow
// without end: beyond this many open sessions, opening one more ends the one
// whose handle was used longest ago. A file manager holds one session per
// panel and per running copy, far fewer than this.
inline constexpr std::size_t kMaxOpenSessions = 64;

// Handles are numbers that the table looks up, never addresses it trusts: a
// closed, unknown or forged handle finds nothing. Numbers run from 1 upwards
// and are not used again while their session is open; they stay below 2^31,
// so a host that keeps a handle in a 32-bit integer loses nothing, and never
// equal 0 (a failed open) or -1 (INVALID_HANDLE_VALUE, which some hosts pass
// to mean "every handle").
//
// Every member function may be called from several threads at once. A
// session handed out stays alive for its holder even when another thread
// closes its handle meanwhile; the handle itself is gone from then on.
class SessionTable {
 public:
  explicit SessionTable(std::size_t capacity = kMaxOpenSessions);

  // Adds `session` and returns its handle value (never 0).
  std::uintptr_t Add(std::shared_ptr<Session> session);

  // The session of `handle`; null when no open session has it.
  std::shared_ptr<Session> Find(std::uintptr_t handle);

  // Removes the session of `handle`; false when no open session had it.
  bool Remove(std::uintptr_t handle);

  std::size_t Size() const;

 private:
  struct Slot {
    std::shared_ptr<Session> session;
    std::uint64_t lastUse = 0;
  };

  // Both with mutex_ held.
  std::shared_ptr<Session> DropLeastRecentlyUsed();
  std::uintptr_t NextFreeHandle();

  const std::size_t capacity_;
  mutable std::mutex mutex_;
  std::unordered_map<std::uintptr_t, Slot> slots_;
  std::uintptr_t lastHandle_ = 0;
  std::uint64_t useClock_ = 0;
};

}  // namespace quendrix
