#include "rules/placeholder.h"

#include <array>

#include "rules/environment_tokens.h"
#include "rules/replace.h"
#include "format/shell_words.h"

namespace quendrix {
namespace {

// Which characters can begin a placeholder, and which a placeholder holds
// before its last one and after its first one: only those can stand on the
// left and on the right of an edge that cuts through it. Every character of
// every inserted value is looked up here before any placeholder is compared.
struct PlaceholderCharacters {
  std::array<bool, 256> first{};
  std::array<bool, 256> left{};
  std::array<bool, 256> right{};
};

constexpr PlaceholderCharacters MakePlaceholderCharacters() {
  PlaceholderCharacters characters;
  for (std::string_view placeholder : kPlaceholders) {
    characters.first[static_cast<unsigned char>(placeholder.front())] = true;
    for (std::size_t i = 0; i + 1 < placeholder.size(); ++i) {
      characters.left[static_cast<unsigned char>(placeholder[i])] = true;
      characters.right[static_cast<unsigned char>(placeholder[i + 1])] = true;
    }
  }
  return characters;
}

constexpr PlaceholderCharacters kPlaceholderCharacters =
    MakePlaceholderCharacters();

bool StartsPlaceholderOrToken(std::string_view text, std::size_t i) {
  if (text[i] == '%') {
    return i + 1 < text.size() && IsTokenNameCharacter(text[i + 1]);
  }
  if (!kPlaceholderCharacters.first[static_cast<unsigned char>(text[i])]) {
    return false;
  }
  for (std::string_view placeholder : kPlaceholders) {
    if (text.substr(i, placeholder.size()) == placeholder) return true;
  }
  return false;
}

// Puts `emptyPair` after the first character of every placeholder and after
// every percent sign that could open a token. None of those first characters
// is a quote or a backslash, so the pair always lands where the quoting of
// the inserted text is plain: between two characters of one quoted stretch,
// where closing and reopening the quotes changes nothing, or outside quotes.
std::string BreakPlaceholders(std::string quoted, std::string_view emptyPair) {
  // Most values, such as ordinary paths, hold nothing to break up.
  std::size_t next = 0;
  while (next < quoted.size() && !StartsPlaceholderOrToken(quoted, next)) {
    ++next;
  }
  if (next == quoted.size()) return quoted;
  std::string broken(quoted, 0, next);
  broken.reserve(quoted.size() + 2 * emptyPair.size());
  for (std::size_t i = next; i < quoted.size(); ++i) {
    broken += quoted[i];
    if (StartsPlaceholderOrToken(quoted, i)) broken.append(emptyPair);
  }
  return broken;
}

std::string QuotedAt(const InsertionPoint& point, std::string_view value) {
  switch (point.state) {
    case QuoteState::kUnquoted: {
      if (!point.afterBackslash) return QuoteFor(QuoteState::kUnquoted, value);
      // The backslash that ends `before` makes the first inserted character
      // literal, whatever it is, so that character goes first as it is. An
      // empty value leaves the backslash to act on the text after it, as it
      // would with the placeholder removed.
      if (value.empty()) return {};
      std::string text(1, value.front());
      if (value.size() > 1) text += QuoteFor(QuoteState::kUnquoted, value.substr(1));
      return text;
    }
    case QuoteState::kDoubleQuoted: {
      std::string text = QuoteFor(QuoteState::kDoubleQuoted, value);
      // A backslash ending `before` would pair with the escape of a first $ `
      // " or \ and leave that character bare, and with nothing inserted it
      // would pair with a $ ` " or \ of the text after the placeholder; a
      // second backslash pairs with it instead, and both together stand for
      // the backslash that `before` holds as an ordinary character.
      if (point.afterBackslash && (text.empty() || text.front() == '\\')) {
        text.insert(text.begin(), '\\');
      }
      return text;
    }
    case QuoteState::kSingleQuoted:
      return QuoteFor(QuoteState::kSingleQuoted, value);
  }
  return std::string(value);
}

// The text on the left of an edge, made of two pieces so that text already
// built and text about to be added need not be joined into a copy first.
class TextBefore {
 public:
  TextBefore(std::string_view head, std::string_view tail)
      : head_(head), tail_(tail) {}
  std::size_t size() const { return head_.size() + tail_.size(); }
  // The character `i` places from the end; 0 is the last one.
  char FromEnd(std::size_t i) const {
    return i < tail_.size() ? tail_[tail_.size() - 1 - i]
                            : head_[head_.size() - 1 - (i - tail_.size())];
  }
  bool EndsWith(std::string_view text) const {
    if (text.size() > size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (FromEnd(i) != text[text.size() - 1 - i]) return false;
    }
    return true;
  }

 private:
  std::string_view head_;
  std::string_view tail_;
};

// Whether a placeholder or a token could be found in `left` followed by
// `right` that starts in `left` and ends in `right`.
bool JoinsAcross(const TextBefore& left, std::string_view right) {
  if (left.size() > 0 && !right.empty() &&
      kPlaceholderCharacters.left[static_cast<unsigned char>(left.FromEnd(0))] &&
      kPlaceholderCharacters.right[static_cast<unsigned char>(right.front())]) {
    const char lastOfLeft = left.FromEnd(0);
    for (std::string_view placeholder : kPlaceholders) {
      for (std::size_t split = 1; split < placeholder.size(); ++split) {
        // The two characters at the edge rule out almost every split
        // before any longer comparison.
        if (placeholder[split - 1] == lastOfLeft &&
            placeholder[split] == right.front() &&
            left.EndsWith(placeholder.substr(0, split)) &&
            right.starts_with(placeholder.substr(split))) {
          return true;
        }
      }
    }
  }
  // A token: "%", one or more name characters, "%", with the edge anywhere
  // after the opening percent sign and before the closing one.
  std::size_t leftName = 0;
  while (leftName < left.size() && IsTokenNameCharacter(left.FromEnd(leftName))) {
    ++leftName;
  }
  if (leftName == left.size() || left.FromEnd(leftName) != '%') return false;
  std::size_t rightName = 0;
  while (rightName < right.size() && IsTokenNameCharacter(right[rightName])) {
    ++rightName;
  }
  return rightName < right.size() && right[rightName] == '%' &&
         leftName + rightName > 0;
}

}  // namespace

std::string InsertionText(std::string_view before, std::string_view value,
                          std::string_view after, platform::PathStyle style) {
  if (style == platform::PathStyle::kWindows) return std::string(value);
  const InsertionPoint point = InsertionPointAt(before, before.size());
  const std::string_view emptyPair =
      point.state == QuoteState::kDoubleQuoted ? "\"\"" : "''";
  const std::string quoted = BreakPlaceholders(QuotedAt(point, value), emptyPair);
  // A backslash ending `before` is no part of any placeholder or token, so
  // no pair is ever put where it would escape the pair's first quote.
  std::string text;
  if (JoinsAcross(TextBefore(before, {}), quoted)) text.append(emptyPair);
  text.append(quoted);
  if (JoinsAcross(TextBefore(before, text), after)) text.append(emptyPair);
  return text;
}

std::string ReplacePlaceholder(std::string_view command,
                               std::string_view placeholder,
                               std::string_view value,
                               platform::PathStyle style, std::size_t limit) {
  return ReplaceEach(
      command, placeholder,
      [value, style](std::string_view built, std::string_view after) {
        return InsertionText(built, value, after, style);
      },
      limit);
}

}  // namespace quendrix
