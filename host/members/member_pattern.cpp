#include "members/member_pattern.h"

#include <cstddef>
#include <optional>

namespace quendrix::host {
namespace {

struct Piece {
  bool matched = false;   // whether the name's character fits the piece
  std::size_t length = 0; // characters of the pattern the piece takes
};

// Matches one character `c` against the bracket expression at `pattern[0]`;
// nothing when the bracket is not closed and so is an ordinary "[".
std::optional<Piece> MatchBracket(std::string_view pattern, char c,
                                  bool escapes) {
  std::size_t i = 1;
  bool negated = false;
  if (i < pattern.size() && (pattern[i] == '!' || pattern[i] == '^')) {
    negated = true;
    ++i;
  }
  bool found = false;
  bool first = true;
  while (i < pattern.size()) {
    // A "]" right after the opening (or after its negation) is a member.
    if (pattern[i] == ']' && !first) {
      return Piece{found != negated, i + 1};
    }
    first = false;
    char low = pattern[i];
    if (escapes && low == '\\' && i + 1 < pattern.size()) low = pattern[++i];
    ++i;
    char high = low;
    if (i + 1 < pattern.size() && pattern[i] == '-' && pattern[i + 1] != ']') {
      high = pattern[i + 1];
      if (escapes && high == '\\' && i + 2 < pattern.size()) {
        high = pattern[i + 2];
        ++i;
      }
      i += 2;
    }
    const auto u = static_cast<unsigned char>(c);
    if (static_cast<unsigned char>(low) <= u &&
        u <= static_cast<unsigned char>(high)) {
      found = true;
    }
  }
  return std::nullopt;
}

// How the piece of `pattern` at `p` (not a "*") fits the character `c`.
Piece MatchOne(std::string_view pattern, std::size_t p, char c, bool escapes) {
  const char head = pattern[p];
  if (head == '?') return {true, 1};
  if (head == '[') {
    if (auto bracket = MatchBracket(pattern.substr(p), c, escapes)) {
      return *bracket;
    }
    return {c == '[', 1};
  }
  if (escapes && head == '\\' && p + 1 < pattern.size()) {
    return {c == pattern[p + 1], 2};
  }
  return {c == head, 1};
}

}  // namespace

bool MatchesPattern(std::string_view pattern, std::string_view name,
                    platform::PathStyle style) {
  const bool escapes = style == platform::PathStyle::kPosix;
  // The classic greedy match with one backtracking point: on a mismatch the
  // last "*" takes one more character. Each "*" supersedes the one before,
  // so the work stays bounded by the two lengths multiplied.
  std::size_t p = 0;
  std::size_t n = 0;
  std::optional<std::size_t> starPattern;
  std::size_t starName = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starPattern = ++p;
      starName = n;
      continue;
    }
    if (p < pattern.size()) {
      const Piece piece = MatchOne(pattern, p, name[n], escapes);
      if (piece.matched) {
        p += piece.length;
        ++n;
        continue;
      }
    }
    if (!starPattern) return false;
    p = *starPattern;
    n = ++starName;
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace quendrix::host
