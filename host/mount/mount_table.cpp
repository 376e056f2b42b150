#include "mount/mount_table.h"

#include <vector>

namespace quendrix::host::mount {
namespace {

// A field of the table with its octal escapes (\040 and the like) undone.
std::string Unescaped(std::string_view field) {
  std::string text;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      const std::string_view digits = field.substr(i + 1, 3);
      if (digits.find_first_not_of("01234567") == std::string_view::npos) {
        text += static_cast<char>(((digits[0] - '0') << 6) |
                                  ((digits[1] - '0') << 3) | (digits[2] - '0'));
        i += 3;
        continue;
      }
    }
    text += field[i];
  }
  return text;
}

std::vector<std::string_view> FieldsOf(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  while (start < line.size()) {
    std::size_t end = line.find(' ', start);
    if (end == std::string_view::npos) end = line.size();
    if (end > start) fields.push_back(line.substr(start, end - start));
    start = end + 1;
  }
  return fields;
}

}  // namespace

bool HasMount(std::string_view mounts, const std::string& mountPoint,
              std::string_view type) {
  std::size_t start = 0;
  while (start < mounts.size()) {
    std::size_t end = mounts.find('\n', start);
    if (end == std::string_view::npos) end = mounts.size();
    const std::vector<std::string_view> fields =
        FieldsOf(mounts.substr(start, end - start));
    if (fields.size() >= 3 && fields[2] == type &&
        Unescaped(fields[1]) == mountPoint) {
      return true;
    }
    start = end + 1;
  }
  return false;
}

}  // namespace quendrix::host::mount
