// POSIX: file names and the environment are bytes, which the systems quendrix
// runs on write as UTF-8, so the system's text is the UTF-8 text itself.
#include "platform/platform.h"

namespace quendrix::platform {

std::optional<std::string> SystemTextIfExact(std::string_view utf8) {
  return std::string(utf8);
}

std::string SystemTextFromUtf8(std::string_view utf8) { return std::string(utf8); }

std::string Utf8FromSystemText(std::string_view text) { return std::string(text); }

}  // namespace quendrix::platform
