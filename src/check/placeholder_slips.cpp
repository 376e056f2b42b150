#include "check/placeholder_slips.h"

#include <algorithm>

#include "check/near_words.h"
#include "rules/placeholder.h"

namespace quendrix {
namespace {

// A word in brackets longer than this is no placeholder anyone meant.
constexpr std::size_t kLongestBracketWord = 24;

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

void AddOnce(std::vector<std::string>& slips, std::string slip) {
  if (std::find(slips.begin(), slips.end(), slip) == slips.end()) {
    slips.push_back(std::move(slip));
  }
}

std::string WrongCase(std::string_view written, std::string_view placeholder) {
  return std::string(written) + " is not the placeholder " + std::string(placeholder) +
         ": placeholders are matched with their case, so it stays as it is written";
}

std::string Misspelt(std::string_view written, std::string_view placeholder) {
  return std::string(written) + " looks like the placeholder " + std::string(placeholder) +
         " misspelt: placeholders are matched exactly, so it stays as it is written";
}

// The slip that a bracketed word (brackets included) makes, if any.
void CheckBracketWord(std::string_view word, bool inCommand, std::vector<std::string>& slips) {
  for (const std::string_view placeholder :
       {kBaseNamePlaceholder, kExtensionPlaceholder, kPluginDirPlaceholder}) {
    if (placeholder == kPluginDirPlaceholder && !inCommand) continue;
    if (word == placeholder) return;
    const std::string lower = LowerAscii(word);
    if (lower == LowerAscii(placeholder)) {
      AddOnce(slips, WrongCase(word, placeholder));
      return;
    }
    // Any one letter in brackets is one slip away from [N]: only the long
    // placeholder is looked for among slips.
    if (placeholder == kPluginDirPlaceholder && OneEditApart(lower, placeholder)) {
      AddOnce(slips, Misspelt(word, placeholder));
      return;
    }
  }
}

void FindBracketWords(std::string_view text, bool inCommand, std::vector<std::string>& slips) {
  for (std::size_t open = text.find('['); open != std::string_view::npos;
       open = text.find('[', open + 1)) {
    const std::size_t close = text.find_first_of("[] \t", open + 1);
    if (close == std::string_view::npos || text[close] != ']' || close == open + 1 ||
        close - open - 1 > kLongestBracketWord) {
      continue;
    }
    CheckBracketWord(text.substr(open, close - open + 1), inCommand, slips);
  }
}

}  // namespace

std::vector<std::string> FindCommandPlaceholderSlips(std::string_view commandTemplate) {
  std::vector<std::string> slips;
  const std::string_view text = commandTemplate;
  std::size_t i = 0;
  while (i < text.size()) {
    if (!IsAsciiLetter(text[i])) {
      ++i;
      continue;
    }
    const std::size_t begin = i;
    while (i < text.size() && IsAsciiLetter(text[i])) ++i;
    const std::string_view run = text.substr(begin, i - begin);
    const bool variableName = begin > 0 && text[begin - 1] == '%' && i < text.size() &&
                              text[i] == '%';
    if (variableName) continue;
    if (run.find(kArchivePathPlaceholder) != std::string_view::npos ||
        run.find(kDestinationPlaceholder) != std::string_view::npos) {
      continue;
    }
    const std::string lower = LowerAscii(run);
    for (const std::string_view placeholder : {kArchivePathPlaceholder, kDestinationPlaceholder}) {
      if (lower == placeholder) {
        AddOnce(slips, WrongCase(run, placeholder));
        break;
      }
      if (OneEditApart(lower, placeholder)) {
        AddOnce(slips, Misspelt(run, placeholder));
        break;
      }
    }
  }
  FindBracketWords(text, true, slips);
  return slips;
}

std::vector<std::string> FindNamePlaceholderSlips(std::string_view nameTemplate) {
  std::vector<std::string> slips;
  FindBracketWords(nameTemplate, false, slips);
  return slips;
}

}  // namespace quendrix
