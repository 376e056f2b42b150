#include "rules/environment_tokens.h"

#include "rules/replace.h"

namespace quendrix {

bool IsTokenNameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

std::optional<Token> FindToken(std::string_view text, std::size_t from) {
  for (std::size_t open = text.find('%', from); open != std::string_view::npos;
       open = text.find('%', open + 1)) {
    std::size_t end = open + 1;
    while (end < text.size() && IsTokenNameCharacter(text[end])) ++end;
    if (end > open + 1 && end < text.size() && text[end] == '%') {
      return Token{open, end - open + 1};
    }
  }
  return std::nullopt;
}

std::string ExpandEnvironmentTokens(std::string_view command,
                                    const EnvironmentLookup& lookup,
                                    std::size_t limit) {
  std::string expanded(command.substr(0, limit));
  std::size_t scan = 0;
  // The scan position grows by at least three characters per token and the
  // command never exceeds `limit`, so the loop ends.
  while (const std::optional<Token> token = FindToken(expanded, scan)) {
    const std::string tokenText = expanded.substr(token->position, token->length);
    const std::string name = tokenText.substr(1, tokenText.size() - 2);
    const std::string value = lookup ? lookup(name) : std::string();
    if (!value.empty()) expanded = ReplaceAll(expanded, tokenText, value, limit);
    scan = token->position + token->length;
  }
  return expanded;
}

}  // namespace quendrix
