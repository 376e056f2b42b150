#include "plugin/session_table.h"

#include <algorithm>

namespace quendrix {
namespace {

// Handle numbers stay positive in a signed 32-bit integer.
constexpr std::uintptr_t kLargestHandle = 0x7FFFFFFF;

}  // namespace

SessionTable::SessionTable(std::size_t capacity)
    : capacity_(std::max<std::size_t>(capacity, 1)) {}

std::uintptr_t SessionTable::NextFreeHandle() {
  // The table never holds more than capacity_ handles, so a free number is
  // found after at most capacity_ + 1 steps.
  do {
    lastHandle_ = lastHandle_ >= kLargestHandle ? 1 : lastHandle_ + 1;
  } while (slots_.count(lastHandle_) != 0);
  return lastHandle_;
}

std::shared_ptr<Session> SessionTable::DropLeastRecentlyUsed() {
  const auto oldest = std::min_element(
      slots_.begin(), slots_.end(), [](const auto& a, const auto& b) {
        return a.second.lastUse < b.second.lastUse;
      });
  if (oldest == slots_.end()) return nullptr;
  std::shared_ptr<Session> dropped = std::move(oldest->second.session);
  slots_.erase(oldest);
  return dropped;
}

std::uintptr_t SessionTable::Add(std::shared_ptr<Session> session) {
  // The session dropped for room is released after the lock: its members can
  // be many, and freeing them need not hold up the other threads.
  std::shared_ptr<Session> dropped;
  const std::lock_guard<std::mutex> lock(mutex_);
  if (slots_.size() >= capacity_) dropped = DropLeastRecentlyUsed();
  const std::uintptr_t handle = NextFreeHandle();
  slots_.emplace(handle, Slot{std::move(session), ++useClock_});
  return handle;
}

std::shared_ptr<Session> SessionTable::Find(std::uintptr_t handle) {
  const std::lock_guard<std::mutex> lock(mutex_);
  const auto found = slots_.find(handle);
  if (found == slots_.end()) return nullptr;
  found->second.lastUse = ++useClock_;
  return found->second.session;
}

bool SessionTable::Remove(std::uintptr_t handle) {
  std::shared_ptr<Session> removed;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto found = slots_.find(handle);
    if (found == slots_.end()) return false;
    removed = std::move(found->second.session);
    slots_.erase(found);
  }
  return true;
}

std::size_t SessionTable::Size() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return slots_.size();
}

}  // namespace quendrix
