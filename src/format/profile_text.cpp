#include "format/profile_text.h"

#include <algorithm>
#include <cstdint>

#include "format/profile_line.h"
#include "format/profile_value.h"
#include "format/utf16_text.h"

// The rules below are those of the Windows profile functions as Wine's
// GetPrivateProfileStringA applies them, which the plug-in's tests compare
// against line by line. Where they differ from the folklore about INI files:
//
// - Every CR and every LF ends a line, so a lone CR inside an LF file splits
//   the line it stands in.
// - ";" starts no comment. "; a=b" is a key named "; a", which no lookup asks
//   for; that is what makes such lines look like comments.
// - Key lines before the first section header belong to a section without a
//   name. A later "[]" header names the same, already existing, section, so
//   its keys are never found.
// - Only the first section of a name is consulted: a second [txt] adds
//   nothing, not even keys the first one lacks.
// - The default value is passed with trailing blanks removed (at least one
//   character stays), and the quotation marks of a value and of a default are
//   removed as the text is copied into the caller's buffer: when the buffer
//   is just large enough for the text without its opening mark, the cut takes
//   the closing mark and the last character before it.
// - A file that starts with a UTF-16 byte-order mark is read as UTF-16.
namespace quendrix {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LittleEndianMark = "\xFF\xFE";
constexpr std::string_view kUtf16BigEndianMark = "\xFE\xFF";

// UTF-16 text (without its mark) as UTF-8, the text encoding of the systems
// that use this reader. A lone surrogate becomes U+FFFD and an odd last byte
// is dropped, so any bytes decode.
std::string DecodeUtf16(std::string_view bytes, bool bigEndian) {
  const auto unitAt = [&](std::size_t i) -> std::uint32_t {
    const auto first = static_cast<unsigned char>(bytes[2 * i]);
    const auto second = static_cast<unsigned char>(bytes[2 * i + 1]);
    return bigEndian ? (first << 8 | second) : (second << 8 | first);
  };
  constexpr std::uint32_t kReplacement = 0xFFFD;
  const std::size_t units = bytes.size() / 2;
  std::string out;
  out.reserve(units);
  for (std::size_t i = 0; i < units; ++i) {
    const std::uint32_t unit = unitAt(i);
    if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < units) {
      const std::uint32_t next = unitAt(i + 1);
      if (next >= 0xDC00 && next < 0xE000) {
        AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
        ++i;
        continue;
      }
    }
    AppendUtf8(out, unit >= 0xD800 && unit < 0xE000 ? kReplacement : unit);
  }
  return out;
}

}  // namespace

std::string_view ProfileTextOf(std::string_view bytes, std::string& decoded) {
  if (bytes.starts_with(kUtf8Mark)) return bytes.substr(kUtf8Mark.size());
  if (bytes.starts_with(kUtf16LittleEndianMark) ||
      bytes.starts_with(kUtf16BigEndianMark)) {
    decoded = DecodeUtf16(bytes.substr(2), bytes.starts_with(kUtf16BigEndianMark));
    return decoded;
  }
  return bytes;
}

ProfileText::ProfileText(std::string bytes) : bytes_(std::move(bytes)) {
  Index(ProfileTextOf(bytes_, decoded_));
}

void ProfileText::Index(std::string_view text) {
  sections_.emplace_back();
  firstSection_.emplace(std::string_view(), 0);
  // Null while the lines belong to a repeated section, whose keys no lookup
  // consults.
  KeyIndex* current = &sections_.back();
  ForEachProfileLine(text, [&](const ProfileLine& line) {
    if (line.header) {
      if (firstSection_.try_emplace(line.section, sections_.size()).second) {
        sections_.emplace_back();
        current = &sections_.back();
      } else {
        current = nullptr;
      }
    } else if (current != nullptr) {
      const ProfileKey key = ProfileKeyOf(line.text);
      current->Add(key.name, key.value);
    }
  });
}

std::optional<std::string_view> ProfileText::Find(std::string_view section,
                                                  std::string_view key) const {
  const auto s = firstSection_.find(TrimProfileName(section));
  if (s == firstSection_.end()) return std::nullopt;
  const KeyIndex::Key* found =
      sections_[s->second].Find(TrimProfileName(key));
  if (found == nullptr) return std::nullopt;
  return found->value;
}

std::optional<std::vector<std::string_view>> ProfileText::KeyNames(
    std::string_view section) const {
  const auto s = firstSection_.find(TrimProfileName(section));
  if (s == firstSection_.end()) return std::nullopt;
  std::vector<std::string_view> names;
  for (const KeyIndex::Key& k : sections_[s->second].keys()) {
    names.push_back(k.name);
  }
  return names;
}

std::string ProfileText::Read(std::string_view section, std::string_view key,
                              std::string_view defaultValue,
                              std::size_t bufferSize) const {
  if (bufferSize == 0) return {};
  // The caller's texts reach the Windows reader as C strings.
  return ProfileAnswer(Find(UpToNul(section), UpToNul(key)), defaultValue,
                       bufferSize);
}

}  // namespace quendrix
