// Windows: the module's and the executable's own directories.
#include <windows.h>

#include <string>

#include "platform/platform.h"

namespace quendrix::platform {
namespace {

constexpr DWORD kModulePathBuffer = 4096;

std::string DirectoryOfModule(HMODULE module) {
  char path[kModulePathBuffer] = {};
  const DWORD length = GetModuleFileNameA(module, path, kModulePathBuffer);
  if (length == 0) return {};
  const std::string full(path, length < kModulePathBuffer ? length : kModulePathBuffer - 1);
  const std::size_t backslash = full.rfind('\\');
  return backslash == std::string::npos ? std::string()
                                        : full.substr(0, backslash + 1);
}

}  // namespace

std::string ModuleDirectory(const void* module) {
  return DirectoryOfModule(static_cast<HMODULE>(const_cast<void*>(module)));
}

std::string ExecutableDirectory() { return DirectoryOfModule(nullptr); }

}  // namespace quendrix::platform
