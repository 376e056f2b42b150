// Rules that can never list, found from the keys a rules section holds.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quendrix::host {

// Points out, for one rules section with the given key names, the keys that
// no lookup reads as a member: a command without its fileout (or the other
// way round), pairs after a gap in the numbering, numbers written with a
// leading zero or past the highest member number, and a missing command1.
// `members` is how many members the lookup found: the list stops at the
// first number whose pair is incomplete. One sentence per problem.
std::vector<std::string> FindRuleProblems(
    const std::vector<std::string_view>& keyNames, std::int32_t members);

}  // namespace quendrix::host
