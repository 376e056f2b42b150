// Windows: the profile reader is the system's own. Every key is fetched by
// its own GetPrivateProfileStringA call (GetPrivateProfileStringW for a
// profile of UTF-8 text); nothing is cached.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/profile_wide.h"

namespace quendrix::platform {

struct Profile::Impl {
  std::string path;
  TextEncoding encoding;
};

Profile::Profile(const std::string& path, TextEncoding encoding)
    : impl_(std::make_unique<Impl>(Impl{path, encoding})) {}

Profile::~Profile() = default;

std::string Profile::Read(std::string_view section, std::string_view key,
                          std::string_view defaultValue,
                          std::size_t bufferSize) const {
  if (bufferSize == 0) return {};
  if (impl_->encoding == TextEncoding::kUtf8) {
    return win32::ReadWideProfileString(impl_->path, section, key,
                                        defaultValue, bufferSize);
  }
  // The A functions take zero-terminated texts.
  const std::string sectionText(section);
  const std::string keyText(key);
  const std::string defaultText(defaultValue);
  std::vector<char> buffer(bufferSize, '\0');
  const DWORD length = GetPrivateProfileStringA(
      sectionText.c_str(), keyText.c_str(), defaultText.c_str(), buffer.data(),
      static_cast<DWORD>(bufferSize), impl_->path.c_str());
  return std::string(buffer.data(),
                     length < bufferSize ? length : bufferSize - 1);
}

}  // namespace quendrix::platform
