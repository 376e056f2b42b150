// Windows: loading a plug-in with LoadLibraryA.
#include <windows.h>

#include <utility>

#include "platform/platform.h"
#include "platform/win32/wide_text.h"

namespace quendrix::platform {

Library::~Library() {
  if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(handle_));
}

Library::Library(Library&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)) {}

Library& Library::operator=(Library&& other) noexcept {
  if (this != &other) {
    if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(handle_));
    handle_ = std::exchange(other.handle_, nullptr);
  }
  return *this;
}

Library Library::Open(const std::string& path, std::string& error,
                      TextEncoding encoding) {
  Library library;
  library.handle_ = encoding == TextEncoding::kUtf8
                        ? LoadLibraryW(win32::WideFromUtf8(path).c_str())
                        : LoadLibraryA(path.c_str());
  if (library.handle_ == nullptr) {
    const DWORD code = GetLastError();
    char text[512] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, code, 0, text, sizeof text, nullptr);
    // The reason is written in the same encoding as the path.
    const std::string reason =
        encoding == TextEncoding::kUtf8 ? Utf8FromSystemText(text) : text;
    error = "cannot load " + path + ": " + reason;
    while (!error.empty() && (error.back() == '\n' || error.back() == '\r')) {
      error.pop_back();
    }
  }
  return library;
}

void* Library::Symbol(const char* name) const {
  if (handle_ == nullptr) return nullptr;
  return reinterpret_cast<void*>(
      GetProcAddress(static_cast<HMODULE>(handle_), name));
}

}  // namespace quendrix::platform
