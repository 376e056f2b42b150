// The words a command line must split into once values are inserted at its
// placeholders, derived without the code under test: each placeholder is
// first replaced by a one-byte marker that is literal wherever it stands,
// the marked line is split into words and operators, and every marker in a
// word is then read as the value it stands for.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "format/shell_words.h"

namespace quendrix::fuzz {

// A marker byte that occurs in none of `texts` and is an ordinary character
// in every quoting state, like the first characters of the placeholders;
// nothing when every candidate occurs.
std::optional<char> UnusedMarker(const std::vector<std::string_view>& texts,
                                 std::string_view taken = {});

// `line` with every occurrence of `placeholder` (left to right, never
// overlapping) replaced by `marker`. An empty value inserted right after a
// backslash outside quotes is promised to act as if its placeholder were
// removed: such occurrences are removed when `valueIsEmpty`. The backslash
// then acts on the text after it, which can change the quoting of the rest
// of the line, also around values put in by earlier steps; `removed` tells
// whether that happened.
std::string MarkPlaceholder(std::string_view line, std::string_view placeholder,
                            char marker, bool valueIsEmpty, bool& removed);

struct MarkerValue {
  char marker;
  std::string_view value;
};

// A token as the comparison sees it: its kind and its text.
using TokenText = std::pair<TokenKind, std::string>;

// The tokens of `line`, kinds and texts.
std::vector<TokenText> TokenTexts(std::string_view line);

// The tokens of the marked line, with every marker in a word read as its
// value: the values inserted at the placeholders must give exactly these,
// each inside the word where its placeholder stood, and never an operator.
std::vector<TokenText> ExpectedTokens(std::string_view markedLine,
                                      const std::vector<MarkerValue>& values);

}  // namespace quendrix::fuzz
