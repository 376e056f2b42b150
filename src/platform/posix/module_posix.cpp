// POSIX: the module's and the executable's own directories.
#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/platform.h"

namespace quendrix::platform {
namespace {

std::string DirectoryPart(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string CurrentDirectory() {
  std::vector<char> buffer(PATH_MAX);
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return {};
    buffer.resize(buffer.size() * 2);
  }
  return buffer.data();
}

}  // namespace

std::string ModuleDirectory(const void* module, TextEncoding /*encoding*/) {
  // dladdr names the file the shared object was loaded from, as the loader
  // was given it; the host program's own path would point at the wrong place.
  Dl_info info{};
  if (dladdr(module, &info) == 0 || info.dli_fname == nullptr) return {};
  std::string path = info.dli_fname;
  // A library loaded by a relative path is found relative to the directory
  // current at load time, which is now.
  if (!path.empty() && path.front() != '/') {
    const std::string cwd = CurrentDirectory();
    if (cwd.empty()) return {};
    path = cwd + (cwd.back() == '/' ? "" : "/") + path;
  }
  return DirectoryPart(path);
}

std::string ExecutableDirectory(TextEncoding /*encoding*/) {
  std::vector<char> buffer(PATH_MAX);
  for (;;) {
    const ssize_t length =
        readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) return {};
    if (static_cast<std::size_t>(length) < buffer.size()) {
      return DirectoryPart(std::string(buffer.data(), length));
    }
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace quendrix::platform
