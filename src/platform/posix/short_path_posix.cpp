// POSIX: short paths, which Linux does not have.
#include <sys/stat.h>

#include "platform/platform.h"

namespace quendrix::platform {

std::string ShortPathOf(const std::string& path, TextEncoding /*encoding*/) {
  // Like Windows on a volume without short names: the path of an existing
  // file or directory is its own short form, and nothing is given for a path
  // that names nothing or would not fit the result buffer.
  struct stat info {};
  if (path.empty() || path.size() > kShortPathLimit) return {};
  if (stat(path.c_str(), &info) != 0) return {};
  return path;
}

}  // namespace quendrix::platform
