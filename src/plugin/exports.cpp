// The exports of the packer plug-in interface and the module entry routine.
// Each export forwards to the one Plugin of this module, which keeps the
// sessions of the archives the host has open.
//
// This is the one file besides src/platform/ that knows which system it is
// built for: Windows calls DllMain when the library is attached, Linux runs a
// constructor function when the shared object is loaded. Only the Windows
// DLLs export the wide functions: the Linux hosts pass file names to the ANSI
// ones as the UTF-8 bytes they are, and would switch to UTF-16 for nothing.
#include <optional>

#include "platform/platform.h"
#include "plugin/plugin.h"
#include "interface/wcx.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/plugin_heap.h"
#define QUENDRIX_EXPORT extern "C"
#else
#define QUENDRIX_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

// Constant-initialized, so it exists before any loader callback runs.
std::optional<quendrix::Plugin> g_plugin;

void Attach(const void* module) noexcept {
  try {
    using quendrix::platform::TextEncoding;
    g_plugin.emplace(
        quendrix::PluginSide{quendrix::platform::ModuleDirectory(module),
                             quendrix::PluginServices::Platform()},
        quendrix::PluginSide{
            quendrix::platform::ModuleDirectory(module, TextEncoding::kUtf8),
            quendrix::PluginServices::Platform(TextEncoding::kUtf8)});
  } catch (...) {
    // Without memory for its state the plug-in refuses every file.
    g_plugin.reset();
  }
}

}  // namespace

#ifdef _WIN32
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason,
                               LPVOID reserved) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      Attach(instance);
      return TRUE;
    case DLL_PROCESS_DETACH:
      // Unloaded by the host (not at the end of the process, when the
      // system takes back everything at once): the sessions are freed and
      // the module's heap goes back to the system, so that a host that
      // loads and unloads the plug-in again and again does not collect
      // heaps.
      if (reserved == nullptr) {
        g_plugin.reset();
        quendrix::platform::ReleasePluginHeap();
      }
      return TRUE;
    case DLL_THREAD_ATTACH:
    case DLL_THREAD_DETACH:
      return TRUE;
    default:
      return FALSE;
  }
}
#else
__attribute__((constructor)) static void OnLoad() {
  // Any address inside this shared object identifies it.
  Attach(reinterpret_cast<const void*>(&Attach));
}
#endif

using quendrix::ArchiveHandle;

QUENDRIX_EXPORT ArchiveHandle QUENDRIX_WCX_CALL
OpenArchive(quendrix::tOpenArchiveData* archiveData) {
  if (!g_plugin) {
    if (archiveData != nullptr) {
      archiveData->OpenResult = quendrix::E_NOT_SUPPORTED;
    }
    return nullptr;
  }
  return g_plugin->OpenArchive(archiveData);
}

QUENDRIX_EXPORT int QUENDRIX_WCX_CALL
ReadHeader(ArchiveHandle handle, quendrix::tHeaderData* headerData) {
  return g_plugin ? g_plugin->ReadHeader(handle, headerData)
                  : quendrix::E_BAD_ARCHIVE;
}

QUENDRIX_EXPORT int QUENDRIX_WCX_CALL ProcessFile(ArchiveHandle handle,
                                                  int operation,
                                                  char* destPath,
                                                  char* destName) {
  return g_plugin ? g_plugin->ProcessFile(handle, operation, destPath, destName)
                  : quendrix::E_BAD_ARCHIVE;
}

QUENDRIX_EXPORT int QUENDRIX_WCX_CALL CloseArchive(ArchiveHandle handle) {
  return g_plugin ? g_plugin->CloseArchive(handle) : quendrix::E_ECLOSE;
}

QUENDRIX_EXPORT void QUENDRIX_WCX_CALL
SetChangeVolProc(ArchiveHandle handle, quendrix::ChangeVolProc callback) {
  if (g_plugin) g_plugin->SetChangeVolProc(handle, callback);
}

QUENDRIX_EXPORT void QUENDRIX_WCX_CALL
SetProcessDataProc(ArchiveHandle handle, quendrix::ProcessDataProc callback) {
  if (g_plugin) g_plugin->SetProcessDataProc(handle, callback);
}

QUENDRIX_EXPORT int QUENDRIX_WCX_CALL GetPackerCaps() {
  return quendrix::kPackerCaps;
}

QUENDRIX_EXPORT int QUENDRIX_WCX_CALL GetBackgroundFlags() {
  return quendrix::kBackgroundFlags;
}

QUENDRIX_EXPORT int QUENDRIX_WCX_CALL CanYouHandleThisFile(char* fileName) {
  return g_plugin ? g_plugin->CanYouHandleThisFile(fileName) : 0;
}

// quendrix's own: why the last member extracted on a handle was not made.
// Hosts that do not know it never call it.
QUENDRIX_EXPORT int QUENDRIX_WCX_CALL QuendrixMemberFailure(
    ArchiveHandle handle, int* exitStatus, int* signalNumber, char* message,
    int messageSize) {
  return g_plugin ? g_plugin->LastFailure(handle, exitStatus, signalNumber,
                                          message, messageSize)
                  : quendrix::E_BAD_ARCHIVE;
}

// quendrix's own: the same member's reason in one line of UTF-8 (which
// program, and what became of it), for hosts that show it; the program's
// own words stay QuendrixMemberFailure's.
QUENDRIX_EXPORT int QUENDRIX_WCX_CALL QuendrixMemberFailureReason(
    ArchiveHandle handle, char* reason, int reasonSize) {
  return g_plugin ? g_plugin->LastFailureReason(handle, reason, reasonSize)
                  : quendrix::E_BAD_ARCHIVE;
}

// quendrix's own: why the last open on the calling thread failed (a list
// program that failed, say), for hosts that show it. Returns that open's
// OpenResult, 0 when the thread's last open succeeded.
QUENDRIX_EXPORT int QUENDRIX_WCX_CALL QuendrixOpenFailure(char* reason, int reasonSize,
                                                          char* message, int messageSize) {
  return g_plugin ? g_plugin->LastOpenFailure(reason, reasonSize, message, messageSize)
                  : quendrix::E_BAD_ARCHIVE;
}

// quendrix's own: what a handle's list program printed that was not taken.
QUENDRIX_EXPORT int QUENDRIX_WCX_CALL QuendrixListWarning(ArchiveHandle handle, char* text,
                                                          int textSize) {
  return g_plugin ? g_plugin->ListWarning(handle, text, textSize) : quendrix::E_BAD_ARCHIVE;
}

#ifdef _WIN32
// The wide functions, with UTF-16 text (WCHAR is char16_t's size on Windows).

QUENDRIX_EXPORT ArchiveHandle QUENDRIX_WCX_CALL
OpenArchiveW(quendrix::tOpenArchiveDataW* archiveData) {
  if (!g_plugin) {
    if (archiveData != nullptr) {
      archiveData->OpenResult = quendrix::E_NOT_SUPPORTED;
    }
    return nullptr;
  }
  return g_plugin->OpenArchiveW(archiveData);
}

QUENDRIX_EXPORT int QUENDRIX_WCX_CALL
ReadHeaderExW(ArchiveHandle handle, quendrix::tHeaderDataExW* headerData) {
  return g_plugin ? g_plugin->ReadHeaderExW(handle, headerData)
                  : quendrix::E_BAD_ARCHIVE;
}

QUENDRIX_EXPORT int QUENDRIX_WCX_CALL ProcessFileW(ArchiveHandle handle,
                                                   int operation,
                                                   char16_t* destPath,
                                                   char16_t* destName) {
  return g_plugin
             ? g_plugin->ProcessFileW(handle, operation, destPath, destName)
             : quendrix::E_BAD_ARCHIVE;
}

QUENDRIX_EXPORT void QUENDRIX_WCX_CALL
SetChangeVolProcW(ArchiveHandle handle, quendrix::ChangeVolProcW callback) {
  if (g_plugin) g_plugin->SetChangeVolProcW(handle, callback);
}

QUENDRIX_EXPORT void QUENDRIX_WCX_CALL
SetProcessDataProcW(ArchiveHandle handle, quendrix::ProcessDataProcW callback) {
  if (g_plugin) g_plugin->SetProcessDataProcW(handle, callback);
}

QUENDRIX_EXPORT int QUENDRIX_WCX_CALL CanYouHandleThisFileW(char16_t* fileName) {
  return g_plugin ? g_plugin->CanYouHandleThisFileW(fileName) : 0;
}
#endif
