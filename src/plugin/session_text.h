// Text between a session and the functions that act on it. A host may open
// an archive through a wide function and read its headers through an ANSI
// one, or the other way round; each function gets and gives its own kind of
// text, converted from and to the session's encoding.
#pragma once

#include <string>
#include <string_view>

#include "platform/platform.h"

namespace quendrix {

// Text an ANSI function was given, in the session's encoding.
std::string SessionTextFromSystem(std::string_view text,
                                  platform::TextEncoding session);

// Text a wide function was given, in the session's encoding. In a session
// of the system's encoding a character without a form there becomes the
// system's default character.
std::string SessionTextFromUtf16(std::u16string_view text,
                                 platform::TextEncoding session);

// A text of the session for an ANSI function.
std::string SystemTextOfSession(std::string_view text,
                                platform::TextEncoding session);

// A text of the session for a wide function.
std::u16string Utf16TextOfSession(std::string_view text,
                                  platform::TextEncoding session);

}  // namespace quendrix
