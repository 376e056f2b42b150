// Parses the bytes of a profile (INI) file the way the Windows profile
// functions read it, so that a rules file means the same on every platform.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quendrix {

class ProfileText {
 public:
  // Parses a whole file. Never fails: text that is not a section header or a
  // key line is passed over, as the Windows reader does.
  static ProfileText Parse(std::string_view bytes);

  // The value of `key` in `section`, with a pair of enclosing quotation marks
  // already removed; nothing when the section or the key is missing or when
  // the key's line has no "=". Names match after trimming blanks and without
  // regard to ASCII case; the first section of a name and the first key of a
  // name within it win.
  std::optional<std::string> Find(std::string_view section,
                                  std::string_view key) const;

 private:
  struct Key {
    std::string name;
    std::optional<std::string> value;  // empty when the line had no "="
  };
  struct Section {
    std::string name;
    std::vector<Key> keys;
    std::unordered_map<std::string, std::size_t> firstKey;  // folded name -> index
  };

  std::vector<Section> sections_;
  std::unordered_map<std::string, std::size_t> firstSection_;  // folded name -> index
};

}  // namespace quendrix
