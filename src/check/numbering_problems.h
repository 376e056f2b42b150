// Keys of a rules section that never list, found from their names alone.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quendrix {

// A problem about one key of a section, named as the section writes it;
// an empty key stands for the section as a whole.
struct KeyProblem {
  std::string key;
  std::string text;
};

// Points out, for one rules section with the given key names (the first of
// each name), the keys that no lookup reads as a member: a command without
// its fileout (or the other way round), pairs after a gap in the numbering,
// numbers written with a leading zero or past the highest member number,
// and a missing command1. `members` is how many members the lookup finds:
// the list stops at the first number whose pair is incomplete. One sentence
// per problem, in the order of `keyNames` after the missing command1.
std::vector<KeyProblem> FindNumberingProblems(
    const std::vector<std::string_view>& keyNames, std::int32_t members);

}  // namespace quendrix
