// One section of a profile file as the Windows function
// GetPrivateProfileSectionA lists it, with its keys found by name.
#pragma once

#include <string>
#include <string_view>

#include "format/key_index.h"

namespace quendrix {

// The listing is a run of "name=value" strings, each ended by a NUL byte,
// names and values trimmed and quotation marks still on; a key whose line
// has no "=" is listed by its name alone, and an empty string (a second NUL)
// ends the run. Lines that start with ";" are left out by the system.
class SectionListing {
 public:
  // `listing` holds the strings, each with its NUL; what follows an empty
  // string is not read. Never fails. The object keeps the bytes and its
  // index points into them, so it is neither copied nor moved.
  explicit SectionListing(std::string listing);
  SectionListing(const SectionListing&) = delete;
  SectionListing& operator=(const SectionListing&) = delete;

  // The first key named `name` (already trimmed and cut at a NUL byte, as a
  // caller's name reaches the system), without regard to ASCII case; null
  // when the section lists no such key.
  const KeyIndex::Key* Find(std::string_view name) const {
    return keys_.Find(name);
  }

  // Whether some key name holds a byte outside ASCII, which the system may
  // match without regard to case by rules of its own code page.
  bool HasNamesOutsideAscii() const { return namesOutsideAscii_; }

 private:
  std::string listing_;
  KeyIndex keys_;
  bool namesOutsideAscii_ = false;
};

// Whether every byte of `text` is ASCII.
bool IsAscii(std::string_view text);

}  // namespace quendrix
