// POSIX: whether a file is a program, and the program of a bare name on
// PATH, looked up as execvp looks it up.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string_view>

#include "platform/platform.h"

namespace quendrix::platform {
namespace {

// glibc's execvp searches this list when PATH is not set.
constexpr std::string_view kDefaultSearchPath = "/bin:/usr/bin";

}  // namespace

bool IsProgramFile(const std::string& path, TextEncoding /*encoding*/) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         access(path.c_str(), X_OK) == 0;
}

std::optional<std::string> FindProgramOnPath(const std::string& name, TextEncoding encoding,
                                             const FolderMayHold& mayHold) {
  if (name.empty() || name.find('/') != std::string::npos) return std::nullopt;
  const char* variable = std::getenv("PATH");
  const std::string_view folders = variable != nullptr ? variable : kDefaultSearchPath;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = std::min(folders.find(':', start), folders.size());
    std::string folder(folders.substr(start, end - start));
    // An empty entry stands for the current folder, as for execvp.
    if (folder.empty()) folder = ".";
    if (!mayHold || mayHold(folder, name)) {
      std::string candidate = folder + '/' + name;
      if (IsProgramFile(candidate, encoding)) return candidate;
    }
    if (end == folders.size()) return std::nullopt;
    start = end + 1;
  }
}

}  // namespace quendrix::platform
