// Windows: every C++ allocation of the plug-in comes from a heap of the
// module's own, made with a large part of it committed from the start.
//
// A listing of tens of thousands of members builds and frees megabytes of
// names, commands and indexes each time a file is opened or probed. The
// process heap gives memory back to the system when it is freed, beyond a
// small part, and a page taken afresh costs a page fault for every 4 KiB
// (under Wine, several microseconds each, more than the work done in it),
// so a large listing cost far more per member than a small one. A heap
// created with its first kInitialCommit bytes committed keeps those pages
// from one listing to the next. Pages are only backed by memory once
// written, so the plug-in holds as much as its largest listing used.
#include <windows.h>

#include <atomic>
#include <new>

#include "platform/plugin_heap.h"

namespace {

constexpr SIZE_T kInitialCommit = SIZE_T{16} << 20;

std::atomic<HANDLE> g_heap{nullptr};
std::atomic<bool> g_released{false};

HANDLE ModuleHeap() noexcept {
  HANDLE heap = g_heap.load(std::memory_order_acquire);
  if (heap != nullptr) return heap;
  HANDLE created = HeapCreate(0, kInitialCommit, 0);
  // Without a heap of its own the plug-in uses the process heap, which it
  // never destroys.
  if (created == nullptr) created = GetProcessHeap();
  if (g_heap.compare_exchange_strong(heap, created, std::memory_order_acq_rel)) {
    return created;
  }
  // Another thread made the heap first.
  if (created != GetProcessHeap()) HeapDestroy(created);
  return heap;
}

void* Allocate(std::size_t size) noexcept {
  if (g_released.load(std::memory_order_acquire)) {
    // Allocations after the release outlive the module's memory and are
    // never freed; they come from the process heap.
    return HeapAlloc(GetProcessHeap(), 0, size != 0 ? size : 1);
  }
  return HeapAlloc(ModuleHeap(), 0, size != 0 ? size : 1);
}

void Free(void* pointer) noexcept {
  if (pointer == nullptr || g_released.load(std::memory_order_acquire)) return;
  HeapFree(ModuleHeap(), 0, pointer);
}

}  // namespace

namespace quendrix::platform {

void ReleasePluginHeap() noexcept {
  HANDLE heap = g_heap.load(std::memory_order_acquire);
  g_released.store(true, std::memory_order_release);
  if (heap != nullptr && heap != GetProcessHeap()) HeapDestroy(heap);
}

}  // namespace quendrix::platform

void* operator new(std::size_t size) {
  if (void* pointer = Allocate(size)) return pointer;
  throw std::bad_alloc();
}

void* operator new[](std::size_t size) { return ::operator new(size); }

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return Allocate(size);
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return Allocate(size);
}

void operator delete(void* pointer) noexcept { Free(pointer); }
void operator delete[](void* pointer) noexcept { Free(pointer); }
void operator delete(void* pointer, std::size_t) noexcept { Free(pointer); }
void operator delete[](void* pointer, std::size_t) noexcept { Free(pointer); }
void operator delete(void* pointer, const std::nothrow_t&) noexcept {
  Free(pointer);
}
void operator delete[](void* pointer, const std::nothrow_t&) noexcept {
  Free(pointer);
}
