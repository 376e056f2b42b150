#include <windows.h>

#include <vector>

#include "platform/win32/profile_wide.h"
#include "platform/win32/wide_text.h"

namespace quendrix::platform::win32 {

std::string ReadWideProfileString(const std::string& path,
                                  std::string_view section,
                                  std::string_view key,
                                  std::string_view defaultValue,
                                  std::size_t bufferSize) {
  if (bufferSize == 0) return {};
  const std::wstring sectionText = WideFromUtf8(section);
  const std::wstring keyText = WideFromUtf8(key);
  const std::wstring defaultText = WideFromUtf8(defaultValue);
  const std::wstring pathText = WideFromUtf8(path);
  std::vector<wchar_t> buffer(bufferSize, L'\0');
  const DWORD length = GetPrivateProfileStringW(
      sectionText.c_str(), keyText.c_str(), defaultText.c_str(), buffer.data(),
      static_cast<DWORD>(bufferSize), pathText.c_str());
  std::size_t kept = length < bufferSize ? length : bufferSize - 1;
  // An answer that filled the buffer was cut there; a lead surrogate at its
  // end lost the trail surrogate that followed it.
  if (kept > 0 && kept == bufferSize - 1 && buffer[kept - 1] >= 0xD800 &&
      buffer[kept - 1] <= 0xDBFF) {
    --kept;
  }
  return Utf8FromWide(std::wstring_view(buffer.data(), kept));
}

}  // namespace quendrix::platform::win32
