#include "format/profile_value.h"

namespace quendrix {
namespace {

// The default as GetPrivateProfileStringA passes it on: trailing blanks
// removed, but never its first character.
std::string_view DefaultAsPassed(std::string_view defaultValue) {
  while (defaultValue.size() > 1 && defaultValue.back() == ' ') {
    defaultValue.remove_suffix(1);
  }
  return defaultValue;
}

// Copies `text` into a buffer of `bufferSize` bytes (bufferSize > 0) as the
// Windows reader does, removing a pair of enclosing quotation marks on the
// way. The closing mark is dropped by position after the cut, which is what
// makes a cut that ends on it lose one character more.
std::string CopyEntry(std::string_view text, std::size_t bufferSize) {
  const bool quoted = text.size() >= 2 && (text[0] == '"' || text[0] == '\'') &&
                      text.back() == text.front();
  if (quoted) text.remove_prefix(1);
  std::string copy(text.substr(0, bufferSize - 1));
  if (quoted && bufferSize >= text.size() && !copy.empty()) copy.pop_back();
  return copy;
}

}  // namespace

std::string ProfileAnswer(std::optional<std::string_view> value,
                          std::string_view defaultValue,
                          std::size_t bufferSize) {
  return CopyEntry(value ? *value : DefaultAsPassed(UpToNul(defaultValue)),
                   bufferSize);
}

}  // namespace quendrix
