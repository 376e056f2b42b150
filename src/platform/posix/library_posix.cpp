// POSIX: loading a plug-in with the dynamic loader.
#include <dlfcn.h>

#include <utility>

#include "platform/platform.h"

namespace quendrix::platform {

Library::~Library() {
  if (handle_ != nullptr) dlclose(handle_);
}

Library::Library(Library&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)) {}

Library& Library::operator=(Library&& other) noexcept {
  if (this != &other) {
    if (handle_ != nullptr) dlclose(handle_);
    handle_ = std::exchange(other.handle_, nullptr);
  }
  return *this;
}

Library Library::Open(const std::string& path, std::string& error,
                      TextEncoding /*encoding*/) {
  Library library;
  // RTLD_LOCAL keeps two copies of the same plug-in apart.
  library.handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library.handle_ == nullptr) {
    const char* reason = dlerror();
    error = reason != nullptr ? reason : "cannot load " + path;
  }
  return library;
}

void* Library::Symbol(const char* name) const {
  return handle_ != nullptr ? dlsym(handle_, name) : nullptr;
}

}  // namespace quendrix::platform
