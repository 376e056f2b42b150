#include "marked_command.h"

#include <algorithm>

#include "format/shell_words.h"

namespace quendrix::fuzz {
namespace {

// Outside quotes, in single quotes and in double quotes alike these bytes
// stand for themselves: no blank, no quotation mark, no backslash, none of
// the $ ` that a backslash escapes in double quotes, no percent sign or
// letter that could form a token or a placeholder with its neighbours.
bool CanMark(unsigned char c) {
  if (c == 0 || c == '\t' || c == '\n' || c == ' ') return false;
  if (c >= 0x80 || c < 0x20) return true;
  // < > and | are operators outside quotes, so they mark nothing.
  return std::string_view("!#&()*;?^{}~").find(static_cast<char>(c)) !=
         std::string_view::npos;
}

}  // namespace

std::optional<char> UnusedMarker(const std::vector<std::string_view>& texts,
                                 std::string_view taken) {
  bool used[256] = {};
  for (const std::string_view text : texts) {
    for (const char c : text) used[static_cast<unsigned char>(c)] = true;
  }
  for (const char c : taken) used[static_cast<unsigned char>(c)] = true;
  for (int c = 1; c < 256; ++c) {
    if (!used[c] && CanMark(static_cast<unsigned char>(c))) return static_cast<char>(c);
  }
  return std::nullopt;
}

std::string MarkPlaceholder(std::string_view line, std::string_view placeholder,
                            char marker, bool valueIsEmpty, bool& removed) {
  removed = false;
  std::string marked;
  std::size_t pos = 0;
  for (std::size_t found = line.find(placeholder); !placeholder.empty() &&
                                                   found != std::string_view::npos;
       found = line.find(placeholder, pos)) {
    marked.append(line.substr(pos, found - pos));
    const InsertionPoint point = InsertionPointAt(marked, marked.size());
    if (valueIsEmpty && point.state == QuoteState::kUnquoted && point.afterBackslash) {
      removed = true;
    } else {
      marked += marker;
    }
    pos = found + placeholder.size();
  }
  marked.append(line.substr(pos));
  return marked;
}

std::vector<TokenText> TokenTexts(std::string_view line) {
  std::vector<TokenText> tokens;
  for (CommandToken& token : TokenizeCommandLine(line).tokens) {
    tokens.emplace_back(token.kind, std::move(token.text));
  }
  return tokens;
}

std::vector<TokenText> ExpectedTokens(std::string_view markedLine,
                                      const std::vector<MarkerValue>& values) {
  std::vector<TokenText> tokens = TokenTexts(markedLine);
  for (auto& [kind, text] : tokens) {
    if (kind != TokenKind::kWord) continue;
    std::string read;
    for (const char c : text) {
      const auto value = std::find_if(values.begin(), values.end(),
                                      [c](const MarkerValue& v) { return v.marker == c; });
      if (value == values.end()) {
        read += c;
      } else {
        read.append(value->value);
      }
    }
    text = std::move(read);
  }
  return tokens;
}

}  // namespace quendrix::fuzz
