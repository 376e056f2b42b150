#include "format/section_listing.h"

#include <algorithm>

namespace quendrix {

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) {
    return static_cast<unsigned char>(c) < 0x80;
  });
}

SectionListing::SectionListing(std::string listing)
    : listing_(std::move(listing)) {
  const std::string_view text = listing_;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\0', pos);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view entry = text.substr(pos, end - pos);
    if (entry.empty()) break;
    pos = end + 1;

    // Names never hold "=", so the first one ends the name; the value may
    // hold more of them.
    const std::size_t equals = entry.find('=');
    const std::string_view name = entry.substr(0, equals);
    namesOutsideAscii_ = namesOutsideAscii_ || !IsAscii(name);
    if (equals == std::string_view::npos) {
      keys_.Add(name, std::nullopt);
    } else {
      keys_.Add(name, entry.substr(equals + 1));
    }
  }
}

}  // namespace quendrix
