// POSIX: the host's arguments and output are bytes, UTF-8 as they stand.
#include <cstdio>

#include "platform/platform.h"

namespace quendrix::platform {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

void WriteStandardText(StandardStream stream, std::string_view text) {
  std::FILE* file = stream == StandardStream::kOutput ? stdout : stderr;
  std::fwrite(text.data(), 1, text.size(), file);
  std::fflush(file);
}

}  // namespace quendrix::platform
