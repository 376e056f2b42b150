// The Windows plug-in's own heap, which serves every C++ allocation of the
// module (src/platform/win32/plugin_heap_win32.cpp, linked into the Windows
// plug-in alone).
#pragma once

namespace quendrix::platform {

// Gives the module's heap back to the system when the host unloads the
// plug-in, after the plug-in has freed what it holds. What is freed later
// (by the destructors of static objects, which run after the module's entry
// routine) is left to go with the heap.
void ReleasePluginHeap() noexcept;

}  // namespace quendrix::platform
