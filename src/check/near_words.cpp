#include "check/near_words.h"

namespace quendrix {

bool OneEditApart(std::string_view a, std::string_view b) {
  if (a.size() > b.size()) std::swap(a, b);
  if (b.size() - a.size() > 1) return false;
  std::size_t i = 0;
  while (i < a.size() && a[i] == b[i]) ++i;
  if (a.size() == b.size()) {
    if (i == a.size()) return false;
    // One changed character, or two neighbours swapped.
    if (a.substr(i + 1) == b.substr(i + 1)) return true;
    return i + 1 < a.size() && a[i] == b[i + 1] && a[i + 1] == b[i] &&
           a.substr(i + 2) == b.substr(i + 2);
  }
  // One character more in `b`, at position i.
  return a.substr(i) == b.substr(i + 1);
}

std::string LowerAscii(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

}  // namespace quendrix
