#include "setup/line_diff.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace quendrix::host {
namespace {

constexpr std::size_t kContextLines = 3;
// Past this many cells the table of common lines would cost more memory
// than a preview is worth: the changed middle is then shown as removed and
// added whole, which is still a true diff.
constexpr std::size_t kLargestTable = std::size_t{1} << 24;

struct DiffLine {
  std::string_view text;  // without its "\n"
  bool ended = true;      // false for a last line without "\n"
};

std::vector<DiffLine> DiffLinesOf(std::string_view text) {
  std::vector<DiffLine> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) {
      lines.push_back({text.substr(start), false});
      break;
    }
    lines.push_back({text.substr(start, end - start), true});
    start = end + 1;
  }
  return lines;
}

bool SameLine(const DiffLine& a, const DiffLine& b) {
  return a.text == b.text && a.ended == b.ended;
}

// One line of the script: ' ' kept, '-' only before, '+' only after, with
// its number on each side it belongs to (from 0).
struct Edit {
  char kind = ' ';
  std::size_t before = 0;
  std::size_t after = 0;
};

// The lines from `a` to `b` as kept, removed and added lines, with as many
// kept as a longest common subsequence of the changed middle allows.
std::vector<Edit> EditScript(const std::vector<DiffLine>& a, const std::vector<DiffLine>& b) {
  std::size_t prefix = 0;
  while (prefix < a.size() && prefix < b.size() && SameLine(a[prefix], b[prefix])) ++prefix;
  std::size_t suffix = 0;
  while (suffix < a.size() - prefix && suffix < b.size() - prefix &&
         SameLine(a[a.size() - 1 - suffix], b[b.size() - 1 - suffix])) {
    ++suffix;
  }
  const std::size_t n = a.size() - prefix - suffix;
  const std::size_t m = b.size() - prefix - suffix;

  std::vector<Edit> script;
  for (std::size_t i = 0; i < prefix; ++i) script.push_back({' ', i, i});

  if (n > 0 && m > 0 && (n + 1) * (m + 1) <= kLargestTable) {
    // common[i][j]: the longest common run of a's middle from i and b's from j.
    std::vector<std::size_t> common((n + 1) * (m + 1), 0);
    const auto at = [m](std::size_t i, std::size_t j) { return i * (m + 1) + j; };
    for (std::size_t i = n; i-- > 0;) {
      for (std::size_t j = m; j-- > 0;) {
        common[at(i, j)] = SameLine(a[prefix + i], b[prefix + j])
                               ? common[at(i + 1, j + 1)] + 1
                               : std::max(common[at(i + 1, j)], common[at(i, j + 1)]);
      }
    }
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < n || j < m) {
      if (i < n && j < m && SameLine(a[prefix + i], b[prefix + j])) {
        script.push_back({' ', prefix + i++, prefix + j++});
      } else if (j == m || (i < n && common[at(i + 1, j)] >= common[at(i, j + 1)])) {
        script.push_back({'-', prefix + i++, prefix + j});
      } else {
        script.push_back({'+', prefix + i, prefix + j++});
      }
    }
  } else {
    for (std::size_t i = 0; i < n; ++i) script.push_back({'-', prefix + i, prefix + m});
    for (std::size_t j = 0; j < m; ++j) script.push_back({'+', prefix + n, prefix + j});
  }

  for (std::size_t k = 0; k < suffix; ++k) {
    script.push_back({' ', a.size() - suffix + k, b.size() - suffix + k});
  }
  return script;
}

// "start,count" of one side of a hunk header, numbered from 1 as diff
// numbers it; an empty side names the line before it.
std::string HunkRange(std::size_t first, std::size_t count) {
  const std::size_t start = count == 0 ? first : first + 1;
  return std::to_string(start) + (count == 1 ? std::string() : "," + std::to_string(count));
}

}  // namespace

std::string UnifiedDiff(std::string_view before, std::string_view after,
                        std::string_view beforeLabel, std::string_view afterLabel) {
  if (before == after) return {};
  const std::vector<DiffLine> a = DiffLinesOf(before);
  const std::vector<DiffLine> b = DiffLinesOf(after);
  const std::vector<Edit> script = EditScript(a, b);

  std::string diff = "--- " + std::string(beforeLabel) + "\n+++ " + std::string(afterLabel) + "\n";
  std::size_t k = 0;
  while (k < script.size()) {
    if (script[k].kind == ' ') {
      ++k;
      continue;
    }
    // A hunk: from the context before this change to the context after the
    // last change that lies within two contexts of the one before it.
    const std::size_t first = k >= kContextLines ? k - kContextLines : 0;
    std::size_t last = k;  // one past the last changed line
    std::size_t scan = k;
    while (scan < script.size()) {
      if (script[scan].kind != ' ') {
        last = scan + 1;
        ++scan;
      } else if (scan - last < 2 * kContextLines) {
        ++scan;
      } else {
        break;
      }
    }
    const std::size_t end = std::min(script.size(), last + kContextLines);

    std::size_t beforeCount = 0;
    std::size_t afterCount = 0;
    for (std::size_t e = first; e < end; ++e) {
      if (script[e].kind != '+') ++beforeCount;
      if (script[e].kind != '-') ++afterCount;
    }
    diff += "@@ -" + HunkRange(script[first].before, beforeCount) + " +" +
            HunkRange(script[first].after, afterCount) + " @@\n";
    for (std::size_t e = first; e < end; ++e) {
      const DiffLine& line = script[e].kind == '+' ? b[script[e].after] : a[script[e].before];
      diff += script[e].kind;
      diff += line.text;
      diff += '\n';
      if (!line.ended) diff += "\\ No newline at end of file\n";
    }
    k = end;
  }
  return diff;
}

}  // namespace quendrix::host
