// The lines of a profile (INI) file as the reader takes them: the one loop
// over a file's lines that both ProfileText, which answers lookups, and
// ProfileLines, which points a report at a line, go through, so that both
// read every line alike.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "format/profile_value.h"

namespace quendrix {

// A section header or a key line.
struct ProfileLine {
  // Lines are numbered from 1 as editors number them: CR LF, a lone LF and
  // a lone CR each end one line. (The reader itself splits at every CR and
  // LF; the empty line it sees inside a CR LF is no line of the file.)
  std::size_t number = 0;
  // The whole line, trimmed; a key line's name and value are ProfileKeyOf
  // it.
  std::string_view text;
  // "[" name "]": a line that starts with "[" and has a "]" after it. A "["
  // line without one opens nothing and is read as a key.
  bool header = false;
  // A header's section name: trimmed, up to a NUL byte.
  std::string_view section;
};

// A key line's name and value.
struct ProfileKey {
  // Trimmed, up to a NUL byte.
  std::string_view name;
  // As it stands after the line's first "=" (trimmed at its start, up to a
  // NUL byte, quotation marks still on); nothing for a line without "=",
  // which is a key without a value.
  std::optional<std::string_view> value;
};

inline ProfileKey ProfileKeyOf(std::string_view line) {
  const std::size_t equals = line.find('=');
  if (equals == std::string_view::npos) return {UpToNul(line), std::nullopt};
  return {UpToNul(TrimProfileEnd(line.substr(0, equals))),
          UpToNul(TrimProfileStart(line.substr(equals + 1)))};
}

// Calls `visit` with every line of `text` (the text of a file, as
// ProfileTextOf gives it) that is not blank, in order. A line that starts
// with ";" is a key line like any other here: the reader takes "; a=b" as
// a key named "; a", which no lookup asks for.
template <typename Visit>
void ForEachProfileLine(std::string_view text, Visit&& visit) {
  std::size_t number = 0;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = text.size();
    ProfileLine line;
    line.text = TrimProfileName(text.substr(pos, end - pos));
    line.number = ++number;
    pos = end + 1;
    if (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n') ++pos;
    if (line.text.empty()) continue;
    if (line.text.front() == '[') {
      const std::size_t close = line.text.rfind(']');
      if (close != std::string_view::npos) {
        line.header = true;
        line.section = UpToNul(TrimProfileName(line.text.substr(1, close - 1)));
      }
    }
    visit(line);
  }
}

}  // namespace quendrix
