#include "format/profile_lines.h"

#include <unordered_map>

#include "format/key_index.h"
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

  std::size_t number = 1;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = TrimProfileName(text.substr(pos, end - pos));
    const std::size_t lineNumber = number;
    // CR LF ends one line; the reader's empty line between the two is no
    // line of the file.
    pos = end + 1;
    if (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n') ++pos;
    ++number;
    if (line.empty() || line.front() == ';') continue;

    // A "[" line without a "]" after it opens nothing and is read as a key.
    if (line.front() == '[') {
      const std::size_t close = line.rfind(']');
      if (close != std::string_view::npos) {
        const std::string_view name = UpToNul(TrimProfileName(line.substr(1, close - 1)));
        const std::size_t index = sections_.size();
        sections_.push_back(ProfileSectionLines{
            lineNumber, name, firstSections.try_emplace(name, index).first->second, {}});
        firstKeys.emplace_back();
        continue;
      }
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      AddKey(sections_.back(), firstKeys.back(), lineNumber, UpToNul(line), std::nullopt);
    } else {
      AddKey(sections_.back(), firstKeys.back(), lineNumber,
             UpToNul(TrimProfileEnd(line.substr(0, equals))),
             UpToNul(TrimProfileStart(line.substr(equals + 1))));
    }
  }
}

}  // namespace quendrix
