// Windows: the process environment, through the kernel's environment block.
#include <windows.h>

#include <vector>

#include "platform/platform.h"

namespace quendrix::platform {
namespace {

// A value may change between asking for its size and reading it; after this
// many attempts the variable counts as unset rather than being chased.
constexpr int kReadAttempts = 4;
constexpr DWORD kFirstBufferSize = 256;

}  // namespace

std::string EnvironmentValue(const std::string& name) {
  std::vector<char> buffer(kFirstBufferSize, '\0');
  for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
    const DWORD size = static_cast<DWORD>(buffer.size());
    const DWORD length = GetEnvironmentVariableA(name.c_str(), buffer.data(), size);
    // 0 means unset or empty; a result not below the buffer size is the size
    // needed, terminating zero included.
    if (length == 0) return {};
    if (length < size) return std::string(buffer.data(), length);
    buffer.assign(length, '\0');
  }
  return {};
}

bool SetEnvironmentValue(const std::string& name,
                         const std::optional<std::string>& value) {
  return SetEnvironmentVariableA(name.c_str(),
                                 value.has_value() ? value->c_str() : nullptr) != 0;
}

}  // namespace quendrix::platform
