#include "rules/profile_text.h"

#include <algorithm>

namespace quendrix {
namespace {

// The Windows reader counts Ctrl-Z, left at the end of files by old editors,
// as white space along with the usual blanks and line ends.
bool IsProfileSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' ||
         c == '\f' || c == '\x1a';
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsProfileSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsProfileSpace(text.back())) text.remove_suffix(1);
  return text;
}

// Names and values are kept as C strings by the Windows reader, so a NUL byte
// ends them.
std::string UpToNul(std::string_view text) {
  return std::string(text.substr(0, text.find('\0')));
}

std::string Fold(std::string_view name) {
  std::string folded(name);
  std::transform(folded.begin(), folded.end(), folded.begin(), [](char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  });
  return folded;
}

// Removes one pair of enclosing quotation marks, as the Windows reader does
// when it hands out a value.
std::string StripQuotes(std::string value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

}  // namespace

ProfileText ProfileText::Parse(std::string_view bytes) {
  ProfileText profile;
  // A UTF-8 byte-order mark is not part of the first line.
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);

  // Lines end at LF; a file without any LF is split at CR instead.
  const char lineEnd =
      bytes.find('\n') == std::string_view::npos ? '\r' : '\n';

  Section* current = nullptr;
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    std::size_t end = bytes.find(lineEnd, pos);
    if (end == std::string_view::npos) end = bytes.size();
    std::string_view line = Trim(bytes.substr(pos, end - pos));
    pos = end + 1;
    if (line.empty()) continue;

    if (line.front() == '[') {
      const std::size_t close = line.rfind(']');
      if (close != std::string_view::npos) {
        Section section;
        section.name = UpToNul(Trim(line.substr(1, close - 1)));
        profile.sections_.push_back(std::move(section));
        const std::size_t index = profile.sections_.size() - 1;
        profile.firstSection_.try_emplace(Fold(profile.sections_[index].name),
                                          index);
        current = &profile.sections_[index];
        continue;
      }
    }
    if (current == nullptr) continue;  // keys before the first section

    Key key;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      key.name = UpToNul(line);
    } else {
      key.name = UpToNul(Trim(line.substr(0, equals)));
      key.value = UpToNul(Trim(line.substr(equals + 1)));
    }
    current->keys.push_back(std::move(key));
    current->firstKey.try_emplace(Fold(current->keys.back().name),
                                  current->keys.size() - 1);
  }
  return profile;
}

std::optional<std::string> ProfileText::Find(std::string_view section,
                                             std::string_view key) const {
  const auto s = firstSection_.find(Fold(Trim(section)));
  if (s == firstSection_.end()) return std::nullopt;
  const Section& found = sections_[s->second];
  const auto k = found.firstKey.find(Fold(Trim(key)));
  if (k == found.firstKey.end()) return std::nullopt;
  const std::optional<std::string>& value = found.keys[k->second].value;
  if (!value) return std::nullopt;
  return StripQuotes(*value);
}

}  // namespace quendrix
