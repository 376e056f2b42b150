// Windows: the process environment, through the kernel's environment block.
#include <windows.h>

#include <vector>

#include "platform/platform.h"
#include "platform/win32/wide_text.h"

namespace quendrix::platform {
namespace {

// A value may change between asking for its size and reading it; after this
// many attempts the variable counts as unset rather than being chased.
constexpr int kReadAttempts = 4;
constexpr DWORD kFirstBufferSize = 256;

// The value of `name` through GetEnvironmentVariableA or ...W, whichever
// `read` calls with a buffer of the matching character type.
template <typename Char, typename Read>
std::basic_string<Char> ValueOf(const std::basic_string<Char>& name, Read read) {
  std::vector<Char> buffer(kFirstBufferSize, Char{});
  for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
    const DWORD size = static_cast<DWORD>(buffer.size());
    const DWORD length = read(name.c_str(), buffer.data(), size);
    // 0 means unset or empty; a result not below the buffer size is the size
    // needed, terminating zero included.
    if (length == 0) return {};
    if (length < size) return std::basic_string<Char>(buffer.data(), length);
    buffer.assign(length, Char{});
  }
  return {};
}

}  // namespace

std::string EnvironmentValue(const std::string& name, TextEncoding encoding) {
  if (encoding == TextEncoding::kUtf8) {
    return win32::Utf8FromWide(
        ValueOf(win32::WideFromUtf8(name), GetEnvironmentVariableW));
  }
  return ValueOf(name, GetEnvironmentVariableA);
}

std::string EnvironmentPath(const std::string& name, TextEncoding encoding) {
  const std::string utf8 = EnvironmentValue(name, TextEncoding::kUtf8);
  if (encoding == TextEncoding::kUtf8 || utf8.empty()) return utf8;
  if (std::optional<std::string> exact = SystemTextIfExact(utf8)) {
    return std::move(*exact);
  }
  // The short form of an existing folder is written in ASCII on most
  // volumes, which every code page holds.
  const std::string shortForm = ShortPathOf(utf8, TextEncoding::kUtf8);
  if (shortForm.empty()) return {};
  return SystemTextIfExact(shortForm).value_or(std::string());
}

bool SetEnvironmentValue(const std::string& name,
                         const std::optional<std::string>& value,
                         TextEncoding encoding) {
  if (encoding == TextEncoding::kUtf8) {
    return SetEnvironmentVariableW(
               win32::WideFromUtf8(name).c_str(),
               value.has_value() ? win32::WideFromUtf8(*value).c_str()
                                 : nullptr) != 0;
  }
  return SetEnvironmentVariableA(name.c_str(),
                                 value.has_value() ? value->c_str() : nullptr) != 0;
}

}  // namespace quendrix::platform
