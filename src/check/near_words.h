// Whether two words are one slip of the keyboard apart, for the hints of
// the rules check ("fielin" for "filein").
#pragma once

#include <string>
#include <string_view>

namespace quendrix {

// Whether `a` becomes `b` by exactly one edit: one character changed, added
// or left out, or two neighbouring characters swapped. Equal words are no
// edit apart.
bool OneEditApart(std::string_view a, std::string_view b);

// `text` with the ASCII letters in lower case.
std::string LowerAscii(std::string_view text);

}  // namespace quendrix
