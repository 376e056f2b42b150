#include "plugin/session_text.h"

#include "format/utf16_text.h"

namespace quendrix {

using platform::TextEncoding;

std::string SessionTextFromSystem(std::string_view text, TextEncoding session) {
  return session == TextEncoding::kUtf8 ? platform::Utf8FromSystemText(text)
                                        : std::string(text);
}

std::string SessionTextFromUtf16(std::u16string_view text, TextEncoding session) {
  const std::string utf8 = Utf8FromUtf16(text);
  return session == TextEncoding::kUtf8 ? utf8
                                        : platform::SystemTextFromUtf8(utf8);
}

std::string SystemTextOfSession(std::string_view text, TextEncoding session) {
  return session == TextEncoding::kUtf8 ? platform::SystemTextFromUtf8(text)
                                        : std::string(text);
}

std::u16string Utf16TextOfSession(std::string_view text, TextEncoding session) {
  return Utf16FromUtf8(session == TextEncoding::kUtf8
                           ? std::string(text)
                           : platform::Utf8FromSystemText(text));
}

}  // namespace quendrix
