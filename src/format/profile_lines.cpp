#include "format/profile_lines.h"

#include <unordered_map>

#include "format/key_index.h"
#include "format/profile_line.h"
#include "format/profile_text.h"
#include "format/profile_value.h"

namespace quendrix {
namespace {

struct FoldedNameHash {
  std::size_t operator()(std::string_view name) const { return FoldedHash(name); }
};
struct FoldedNameEqual {
  bool operator()(std::string_view a, std::string_view b) const {
    return FoldedEqual(a, b);
  }
};
using FirstOfName =
    std::unordered_map<std::string_view, std::size_t, FoldedNameHash, FoldedNameEqual>;

// Adds a key line to `section`, noting the first key of its name.
void AddKey(ProfileSectionLines& section, FirstOfName& firstKeys, std::size_t line,
            std::string_view name, std::optional<std::string_view> value) {
  const std::size_t index = section.keys.size();
  const std::size_t first = firstKeys.try_emplace(name, index).first->second;
  section.keys.push_back(ProfileKeyLine{line, name, value, first});
}

}  // namespace

ProfileLines::ProfileLines(std::string bytes) : bytes_(std::move(bytes)) {
  const std::string_view text = ProfileTextOf(bytes_, decoded_);
  FirstOfName firstSections;
  std::vector<FirstOfName> firstKeys(1);
  sections_.emplace_back();
  firstSections.emplace(std::string_view(), 0);

  ForEachProfileLine(text, [&](const ProfileLine& line) {
    // The report leaves out comments: a lookup never asks for their keys.
    if (line.text.front() == ';') return;
    if (line.header) {
      const std::size_t index = sections_.size();
      sections_.push_back(ProfileSectionLines{
          line.number, line.section,
          firstSections.try_emplace(line.section, index).first->second, {}});
      firstKeys.emplace_back();
    } else {
      const ProfileKey key = ProfileKeyOf(line.text);
      AddKey(sections_.back(), firstKeys.back(), line.number, key.name, key.value);
    }
  });
}

}  // namespace quendrix
