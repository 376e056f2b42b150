// Windows: the module's and the executable's own directories.
#include <windows.h>

#include <string>

#include "platform/platform.h"
#include "platform/win32/wide_text.h"

namespace quendrix::platform {
namespace {

constexpr DWORD kModulePathBuffer = 4096;

// The full path of the module's file in `encoding`; empty when the system
// gives none. A path that fills the buffer is taken as far as it fits.
std::string PathOfModule(HMODULE module, TextEncoding encoding) {
  if (encoding == TextEncoding::kUtf8) {
    wchar_t path[kModulePathBuffer] = {};
    const DWORD length = GetModuleFileNameW(module, path, kModulePathBuffer);
    return win32::Utf8FromWide(std::wstring_view(
        path, length < kModulePathBuffer ? length : kModulePathBuffer - 1));
  }
  char path[kModulePathBuffer] = {};
  const DWORD length = GetModuleFileNameA(module, path, kModulePathBuffer);
  return std::string(path, length < kModulePathBuffer ? length : kModulePathBuffer - 1);
}

std::string DirectoryOfModule(HMODULE module, TextEncoding encoding) {
  const std::string full = PathOfModule(module, encoding);
  const std::size_t backslash = full.rfind('\\');
  return backslash == std::string::npos ? std::string()
                                        : full.substr(0, backslash + 1);
}

}  // namespace

std::string ModuleDirectory(const void* module, TextEncoding encoding) {
  return DirectoryOfModule(static_cast<HMODULE>(const_cast<void*>(module)),
                           encoding);
}

std::string ExecutableDirectory(TextEncoding encoding) {
  return DirectoryOfModule(nullptr, encoding);
}

}  // namespace quendrix::platform
