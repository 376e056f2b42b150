// Every section header and key line of a profile (INI) file with the number
// of its line, read by the same rules as ProfileText, so that a report about
// a rules file can point at the line a user has to change.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quendrix {

// One key line: "name=value", or a line that is neither a header nor a
// comment and has no "=" (a key without a value, which still hides later
// keys of its name).
struct ProfileKeyLine {
  std::size_t line = 0;
  std::string_view name;                   // trimmed, up to a NUL byte
  std::optional<std::string_view> value;   // as it stands: trimmed, quotation marks on
  // Which key of this section (an index into its keys) a lookup of this
  // name reads: this key's own index when it is the first of its name.
  std::size_t first = 0;
};

// One section header and the key lines under it, up to the next header.
struct ProfileSectionLines {
  // 0 for the section without a name, which holds the key lines before the
  // first header and is always listed first, even when it has none.
  std::size_t line = 0;
  std::string_view name;  // trimmed, up to a NUL byte
  // Which section (an index into sections()) a lookup of this name reads:
  // this section's own index when it is the first of its name. The keys of
  // a later one are never read.
  std::size_t first = 0;
  std::vector<ProfileKeyLine> keys;
};

// Lines are numbered from 1 as editors number them (see ProfileLine). Lines
// that start with ";" are comments and are left out; names match without
// regard to ASCII case. A file that starts with a UTF-16 byte-order mark is read as
// UTF-16, as ProfileText reads it.
class ProfileLines {
 public:
  // Never fails. The object keeps the bytes and the names point into them,
  // so it is neither copied nor moved.
  explicit ProfileLines(std::string bytes);
  ProfileLines(const ProfileLines&) = delete;
  ProfileLines& operator=(const ProfileLines&) = delete;

  // The section without a name, then every header in the order of the
  // file, repeated ones included.
  const std::vector<ProfileSectionLines>& sections() const { return sections_; }

 private:
  std::string bytes_;
  std::string decoded_;
  std::vector<ProfileSectionLines> sections_;
};

}  // namespace quendrix
