#include "format/shell_words.h"

#include <optional>

namespace quendrix {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n'; }

bool EscapableInDoubleQuotes(char c) {
  return c == '$' || c == '`' || c == '"' || c == '\\';
}

std::optional<TokenKind> OperatorOf(char c) {
  switch (c) {
    case '<': return TokenKind::kRead;
    case '>': return TokenKind::kWrite;
    case '|': return TokenKind::kPipe;
    default: return std::nullopt;
  }
}

bool IsPlainWordCharacter(char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
    return true;
  }
  switch (c) {
    case '@': case '%': case '+': case '=': case ':':
    case ',': case '.': case '/': case '_': case '-':
      return true;
    default:
      return false;
  }
}

// Inside single quotes only a quote needs care: it closes the quotes, adds an
// escaped quote and opens them again.
void AppendSingleQuoted(std::string& out, std::string_view value) {
  for (char c : value) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
}

}  // namespace

TokenizedLine TokenizeCommandLine(std::string_view line, std::size_t maxTokens) {
  TokenizedLine result;
  CommandToken word;
  bool inWord = false;  // a quote pair alone makes an (empty) word
  QuoteState state = QuoteState::kUnquoted;
  const auto endWord = [&](std::size_t end) {
    if (!inWord) return;
    word.end = end;
    result.tokens.push_back(std::move(word));
    word = CommandToken{};
    inWord = false;
  };
  const auto startWord = [&](std::size_t at) {
    if (inWord) return;
    word.begin = at;
    inWord = true;
  };

  for (std::size_t i = 0; i < line.size() && result.tokens.size() < maxTokens; ++i) {
    const char c = line[i];
    switch (state) {
      case QuoteState::kUnquoted:
        if (IsBlank(c)) {
          endWord(i);
        } else if (const std::optional<TokenKind> op = OperatorOf(c)) {
          endWord(i);
          if (result.tokens.size() == maxTokens) break;
          result.tokens.push_back(CommandToken{*op, std::string(1, c), i, i + 1});
        } else if (c == '\'') {
          startWord(i);
          state = QuoteState::kSingleQuoted;
          result.quoteAt = i;
        } else if (c == '"') {
          startWord(i);
          state = QuoteState::kDoubleQuoted;
          result.quoteAt = i;
        } else if (c == '\\') {
          startWord(i);
          // A backslash at the very end has nothing to escape and stays.
          word.text += i + 1 < line.size() ? line[++i] : '\\';
        } else {
          startWord(i);
          word.text += c;
        }
        break;
      case QuoteState::kSingleQuoted:
        if (c == '\'') {
          state = QuoteState::kUnquoted;
        } else {
          word.text += c;
        }
        break;
      case QuoteState::kDoubleQuoted:
        if (c == '"') {
          state = QuoteState::kUnquoted;
        } else if (c == '\\' && i + 1 < line.size() &&
                   EscapableInDoubleQuotes(line[i + 1])) {
          word.text += line[++i];
        } else {
          word.text += c;
        }
        break;
    }
  }
  if (result.tokens.size() < maxTokens) endWord(line.size());
  result.unclosedQuote = state != QuoteState::kUnquoted;
  return result;
}

std::vector<std::string> SplitCommandLine(std::string_view line) {
  std::vector<std::string> words;
  for (CommandToken& token : TokenizeCommandLine(line).tokens) {
    words.push_back(std::move(token.text));
  }
  return words;
}

InsertionPoint InsertionPointAt(std::string_view line, std::size_t pos) {
  InsertionPoint point;
  QuoteState& state = point.state;
  const std::size_t end = pos < line.size() ? pos : line.size();
  for (std::size_t i = 0; i < end; ++i) {
    const char c = line[i];
    // A backslash as the last character before the insertion point acts on
    // what is inserted, not on what follows in `line`.
    const bool last = i + 1 == end;
    switch (state) {
      case QuoteState::kUnquoted:
        if (c == '\'') {
          state = QuoteState::kSingleQuoted;
        } else if (c == '"') {
          state = QuoteState::kDoubleQuoted;
        } else if (c == '\\') {
          if (last) point.afterBackslash = true;
          ++i;  // the escaped character is literal
        }
        break;
      case QuoteState::kSingleQuoted:
        if (c == '\'') state = QuoteState::kUnquoted;
        break;
      case QuoteState::kDoubleQuoted:
        if (c == '"') {
          state = QuoteState::kUnquoted;
        } else if (c == '\\') {
          if (last) {
            point.afterBackslash = true;
          } else if (EscapableInDoubleQuotes(line[i + 1])) {
            ++i;
          }
        }
        break;
    }
  }
  return point;
}

QuoteState QuoteStateAt(std::string_view line, std::size_t pos) {
  return InsertionPointAt(line, pos).state;
}

std::string QuoteFor(QuoteState state, std::string_view value) {
  std::string quoted;
  switch (state) {
    case QuoteState::kUnquoted: {
      bool plain = !value.empty();
      for (char c : value) plain = plain && IsPlainWordCharacter(c);
      if (plain) return std::string(value);
      quoted = "'";
      AppendSingleQuoted(quoted, value);
      quoted += "'";
      return quoted;
    }
    case QuoteState::kDoubleQuoted:
      for (char c : value) {
        if (EscapableInDoubleQuotes(c)) quoted += '\\';
        quoted += c;
      }
      return quoted;
    case QuoteState::kSingleQuoted:
      AppendSingleQuoted(quoted, value);
      return quoted;
  }
  return std::string(value);
}

}  // namespace quendrix
