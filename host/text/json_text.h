// Text written into JSON documents.
#pragma once

#include <string>
#include <string_view>

namespace quendrix::host {

// `text` as a JSON string, quotation marks included. Member names are bytes
// in the system's code page, not necessarily UTF-8: valid UTF-8 sequences
// are kept, control characters are escaped, and every byte that is not part
// of a valid UTF-8 sequence is written as the character of the same number
// (\u0080 to \u00ff), so that the result is always valid JSON.
std::string JsonString(std::string_view text);

}  // namespace quendrix::host
