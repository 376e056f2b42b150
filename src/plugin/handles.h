// Handle values and the callbacks stored per handle, shared by the ANSI and
// the wide functions of the plug-in.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "interface/wcx.h"
#include "plugin/session.h"
#include "plugin/session_table.h"

namespace quendrix {

// The handle value INVALID_HANDLE_VALUE, which some hosts give to the
// callback setters to mean every archive rather than one.
inline const ArchiveHandle kEveryHandle =
    reinterpret_cast<ArchiveHandle>(~std::uintptr_t{0});

inline ArchiveHandle HandleOf(std::uintptr_t value) {
  return reinterpret_cast<ArchiveHandle>(value);
}

inline std::uintptr_t ValueOf(ArchiveHandle handle) {
  return reinterpret_cast<std::uintptr_t>(handle);
}

// Stores `callback` for every archive, or in the `slot` of the session that
// `handle` names; a handle that names none changes nothing.
template <typename Callback>
void StoreCallback(SessionTable& sessions, ArchiveHandle handle,
                   Callback callback, std::atomic<Callback>& every,
                   Callback Session::*slot) {
  if (handle == kEveryHandle) {
    every.store(callback);
    return;
  }
  const std::shared_ptr<Session> session = sessions.Find(ValueOf(handle));
  if (session == nullptr) return;
  const std::lock_guard<std::mutex> lock(session->mutex);
  (*session).*slot = callback;
}

}  // namespace quendrix
