// Reads the bytes of a profile (INI) file the way the Windows profile
// functions read it, so that a rules file means the same on every platform.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "format/key_index.h"

namespace quendrix {

// The text of a profile file's bytes as the reader takes it: without a
// UTF-8 byte-order mark, and a file that starts with a UTF-16 one decoded
// into `decoded` as UTF-8 (a lone surrogate becomes U+FFFD). The result
// points into `bytes` or into `decoded`.
std::string_view ProfileTextOf(std::string_view bytes, std::string& decoded);

class ProfileText {
 public:
  // Parses a whole file, in time linear in its size. Never fails: text that
  // is neither a section header nor a key line is passed over, as the Windows
  // reader does. The object keeps the bytes, and its index points into them,
  // so it is neither copied nor moved; share it through a pointer instead.
  explicit ProfileText(std::string bytes);
  ProfileText(const ProfileText&) = delete;
  ProfileText& operator=(const ProfileText&) = delete;

  // The bytes the object was made from, exactly as given.
  const std::string& bytes() const { return bytes_; }

  // The value of `key` in `section` as it stands in the file (trimmed, up to
  // a NUL byte, quotation marks still on); nothing when the section or the
  // key is missing or when the key's line has no "=". Names match after
  // trimming the names asked for, without regard to ASCII case; only the
  // first section of a name is consulted, and the first key of a name in it.
  std::optional<std::string_view> Find(std::string_view section,
                                       std::string_view key) const;

  // The names of the keys in `section` that a lookup can find, keys without
  // "=" among them, in the order of the file; nothing when the file has no
  // section of that name. Used to point out keys that no lookup asks for.
  std::optional<std::vector<std::string_view>> KeyNames(
      std::string_view section) const;

  // What GetPrivateProfileStringA puts into a buffer of `bufferSize` bytes
  // for this file: the value, or `defaultValue` when Find has none, with a
  // pair of enclosing quotation marks removed and cut to the buffer.
  std::string Read(std::string_view section, std::string_view key,
                   std::string_view defaultValue,
                   std::size_t bufferSize) const;

 private:
  // Names are views into the text, hashed and compared without regard to
  // ASCII case, so the index costs no copy of any name.
  struct SectionHash {
    std::size_t operator()(std::string_view name) const {
      return FoldedHash(name);
    }
  };
  struct SectionEqual {
    bool operator()(std::string_view a, std::string_view b) const {
      return FoldedEqual(a, b);
    }
  };

  void Index(std::string_view text);

  std::string bytes_;
  std::string decoded_;  // the text of a UTF-16 file, as UTF-8
  std::vector<KeyIndex> sections_;
  // name -> index into sections_
  std::unordered_map<std::string_view, std::size_t, SectionHash, SectionEqual>
      firstSection_;
};

}  // namespace quendrix
