#include "setup/mc_ext_ini.h"

#include <algorithm>
#include <cstddef>
#include <optional>

namespace quendrix::host {
namespace {

constexpr std::string_view kMadeFromStart = "### quendrix setup mc made this file from ";
constexpr std::string_view kMadeFromEnd = " ###";
constexpr std::string_view kSectionStart = "[quendrix.";

// One line of the file: its bytes without the "\n" are [start, end), and
// the next line starts at `next`.
struct IniLine {
  std::size_t start = 0;
  std::size_t end = 0;
  std::size_t next = 0;
};

std::vector<IniLine> IniLinesOf(std::string_view text) {
  std::vector<IniLine> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t newline = text.find('\n', start);
    const std::size_t end = newline == std::string_view::npos ? text.size() : newline;
    lines.push_back({start, end, newline == std::string_view::npos ? end : end + 1});
    start = lines.back().next;
  }
  return lines;
}

// A line as mc's reader sees it: without a carriage return at its end and
// without blanks around it.
std::string_view Trimmed(std::string_view text, const IniLine& line) {
  std::string_view view = text.substr(line.start, line.end - line.start);
  while (!view.empty() && (view.back() == '\r' || view.back() == ' ' || view.back() == '\t')) {
    view.remove_suffix(1);
  }
  while (!view.empty() && (view.front() == ' ' || view.front() == '\t')) view.remove_prefix(1);
  return view;
}

bool StartsWith(std::string_view text, std::string_view start) {
  return text.substr(0, start.size()) == start;
}

bool EndsWith(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// The line break a line ends with: "\r\n" or "\n" ("\n" for the last line
// of a file that does not end in one).
std::string_view LineEndOf(std::string_view text, const IniLine& line) {
  return line.end > line.start && text[line.end - 1] == '\r' ? "\r\n" : "\n";
}

// Where the block lies, by the numbers of its first and last lines, and
// what it holds.
struct FoundBlock {
  std::size_t begin = 0;
  std::size_t end = 0;
  std::vector<std::string> extensions;
  std::string madeFrom;
};

// The block, if the file has one; `error` tells why a file whose block is
// broken or doubled is not touched.
std::optional<FoundBlock> FindMcBlock(std::string_view text, const std::vector<IniLine>& lines,
                                      std::string& error) {
  std::optional<FoundBlock> block;
  std::optional<std::size_t> openedAt;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string_view line = Trimmed(text, lines[i]);
    if (StartsWith(line, kMcBlockBegin)) {
      if (openedAt || block) {
        error = "it holds a second begin line of quendrix setup mc's block (line " +
                std::to_string(i + 1) + "): keep one block and remove the other by hand";
        return std::nullopt;
      }
      openedAt = i;
      block = FoundBlock{i, i, {}, {}};
    } else if (StartsWith(line, kMcBlockEnd)) {
      if (!openedAt) {
        error = "line " + std::to_string(i + 1) +
                " ends a block of quendrix setup mc that no begin line opens: remove it by hand";
        return std::nullopt;
      }
      block->end = i;
      openedAt.reset();
    } else if (openedAt) {
      if (StartsWith(line, kSectionStart) && EndsWith(line, "]")) {
        block->extensions.emplace_back(
            line.substr(kSectionStart.size(), line.size() - kSectionStart.size() - 1));
      } else if (StartsWith(line, kMadeFromStart) && EndsWith(line, kMadeFromEnd)) {
        block->madeFrom = std::string(line.substr(
            kMadeFromStart.size(), line.size() - kMadeFromStart.size() - kMadeFromEnd.size()));
      }
    }
  }
  if (openedAt) {
    error = "the block of quendrix setup mc that begins at line " + std::to_string(*openedAt + 1) +
            " has no end line: mend or remove it by hand";
    return std::nullopt;
  }
  return block;
}

// The extensions of `a` that `b` lacks.
std::vector<std::string> Missing(const std::vector<std::string>& a,
                                 const std::vector<std::string>& b) {
  std::vector<std::string> missing;
  for (const std::string& name : a) {
    if (std::find(b.begin(), b.end(), name) == b.end()) missing.push_back(name);
  }
  return missing;
}

// Where the block goes when the file has none: after the last key of the
// [mc.ext.ini] section and the blank lines that follow it, so that a
// comment that introduces the next section stays with that section.
std::optional<std::size_t> InsertionPoint(std::string_view text,
                                          const std::vector<IniLine>& lines,
                                          std::size_t& headerLine) {
  std::optional<std::size_t> header;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (Trimmed(text, lines[i]) == "[mc.ext.ini]") {
      header = i;
      break;
    }
  }
  if (!header) return std::nullopt;
  headerLine = *header;
  std::size_t after = *header + 1;  // the line after the section's last key
  for (std::size_t i = *header + 1; i < lines.size(); ++i) {
    const std::string_view line = Trimmed(text, lines[i]);
    if (StartsWith(line, "[")) break;
    if (!line.empty() && !StartsWith(line, "#")) after = i + 1;
  }
  while (after < lines.size() && Trimmed(text, lines[after]).empty()) ++after;
  return after < lines.size() ? lines[after].start : text.size();
}

}  // namespace

std::string McQuendrixBlock(const std::vector<std::string>& extensions,
                            std::string_view madeFrom, std::string_view lineEnd) {
  const std::string end(lineEnd);
  std::string block = std::string(kMcBlockBegin) +
                      ". `quendrix setup mc --undo` takes these lines out again. ###" + end;
  if (!madeFrom.empty()) {
    block += std::string(kMadeFromStart) + std::string(madeFrom) + std::string(kMadeFromEnd) + end;
  }
  block += "### Enter opens a file of these kinds as the folder of its members. ###" + end;
  for (std::size_t i = 0; i < extensions.size(); ++i) {
    if (i > 0) block += end;
    block += std::string(kSectionStart) + extensions[i] + "]" + end;
    block += "Shell=." + extensions[i] + end;
    block += "ShellIgnoreCase=true" + end;
    block += "Open=%cd %p/uquendrix://" + end;
  }
  block += std::string(kMcBlockEnd) + " ###" + end;
  block += end;
  return block;
}

McEdit AddMcBlock(std::string_view file, const std::vector<std::string>& extensions,
                  std::string_view madeFrom) {
  McEdit edit;
  const std::vector<IniLine> lines = IniLinesOf(file);
  const std::optional<FoundBlock> block = FindMcBlock(file, lines, edit.error);
  if (!edit.error.empty()) return edit;

  if (block) {
    // Written anew in its place, keeping what it says about the file's
    // origin, so that --undo still knows it.
    const IniLine& first = lines[block->begin];
    const IniLine& last = lines[block->end];
    const std::string_view lineEnd = LineEndOf(file, first);
    std::string replacement = McQuendrixBlock(extensions, block->madeFrom, lineEnd);
    replacement.resize(replacement.size() - lineEnd.size());  // the blank line is there
    if (last.next == last.end) replacement.resize(replacement.size() - lineEnd.size());
    edit.text = std::string(file.substr(0, first.start)) + replacement +
                std::string(file.substr(last.next));
    edit.added = Missing(extensions, block->extensions);
    edit.removed = Missing(block->extensions, extensions);
    return edit;
  }

  std::size_t headerLine = 0;
  const std::optional<std::size_t> at = InsertionPoint(file, lines, headerLine);
  if (!at) {
    edit.error =
        "it has no [mc.ext.ini] section, which the extension file of mc 4.8.29 and later "
        "starts with (an older mc reads mc.ext, a file of another form)";
    return edit;
  }
  const std::string_view lineEnd = LineEndOf(file, lines[headerLine]);
  std::string inserted = McQuendrixBlock(extensions, madeFrom, lineEnd);
  if (*at == file.size() && !file.empty() && file.back() != '\n') {
    // The last line gets the line break it lacked, and the block no blank
    // line after it: RemoveMcBlock then takes that line break out again.
    inserted = std::string(lineEnd) + inserted.substr(0, inserted.size() - lineEnd.size());
  }
  edit.text = std::string(file.substr(0, *at)) + inserted + std::string(file.substr(*at));
  edit.added = extensions;
  return edit;
}

McEdit RemoveMcBlock(std::string_view file) {
  McEdit edit;
  const std::vector<IniLine> lines = IniLinesOf(file);
  const std::optional<FoundBlock> block = FindMcBlock(file, lines, edit.error);
  if (!edit.error.empty()) return edit;
  if (!block) {
    edit.text = std::string(file);
    return edit;
  }
  std::size_t start = lines[block->begin].start;
  std::size_t end = lines[block->end].next;
  if (block->end + 1 < lines.size() && Trimmed(file, lines[block->end + 1]).empty()) {
    end = lines[block->end + 1].next;
  } else if (end == file.size() && start > 0 && file[start - 1] == '\n') {
    // The block ends the file with no blank line after it: it was put after
    // a last line that had no line break, and that line break goes too.
    --start;
    if (start > 0 && file[start - 1] == '\r') --start;
  }
  edit.text = std::string(file.substr(0, start)) + std::string(file.substr(end));
  edit.removed = block->extensions;
  edit.madeFrom = block->madeFrom;
  return edit;
}

}  // namespace quendrix::host
