// Environment-variable tokens in command templates: "%" name "%", where the
// name is one or more letters A to Z in either case or underscores.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace quendrix {

struct Token {
  std::size_t position = 0;  // of the opening percent sign
  std::size_t length = 0;    // both percent signs included
};

// The leftmost token that begins at or after `from`.
std::optional<Token> FindToken(std::string_view text, std::size_t from);

// True when `c` may be part of a token's name.
bool IsTokenNameCharacter(char c);

// The value of an environment variable; empty when it is unset or empty.
using EnvironmentLookup = std::function<std::string(std::string_view name)>;

// Fills in the tokens of `command` one at a time from left to right. A token
// whose variable has a value is replaced, at every place where it occurs with
// the same letters, by that value as it stands; a token without a value stays.
// The scan then goes on at the token's position plus the token's length in
// the command as it now stands, which lies inside or after an inserted value
// (its start when the value is exactly as long as the token). After every
// replacement the command is cut to `limit` characters, which also ends a
// value that holds its own token.
std::string ExpandEnvironmentTokens(std::string_view command,
                                    const EnvironmentLookup& lookup,
                                    std::size_t limit);

}  // namespace quendrix
