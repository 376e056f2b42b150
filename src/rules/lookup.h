// The rules lookup: which members a file of a given extension shows.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "rules/entry.h"
#include "rules/expand.h"
#include "rules/rules_source.h"

namespace quendrix {

// The marker the lookup returns, and that a missing key reads as.
inline constexpr std::string_view kNotFound = "not found";

// The settings of a rules section.
struct RuleSettings {
  std::string logFlag = "0";            // at most one character
  std::string shortFileNameFlag = "0";  // at most one character
  std::uint8_t showConsole = 0;
  // On for programs whose exit status is no verdict on the member (diff and
  // grep exit with 1 on success): then only a missing file is a failure.
  std::string ignoreExitCodeFlag = "0";  // at most one character
};

// A setting is on only when its text is exactly "1".
inline bool IsOn(std::string_view flag) { return flag == "1"; }

struct LookupResult {
  std::string command1;  // the raw command1 of the resolved section, or kNotFound
  std::string section;   // the section the keys were read from, after synonym
};

// Reads the section for `extension` (after one synonym step) from `rules`,
// fills `settings`, and rebuilds `table` with one expanded entry per complete
// command/fileout pair, numbered from 1. `context` supplies what expansion
// fills in; its shortFileName is taken from the section read here.
LookupResult LookupRules(std::string_view extension, const RulesSource& rules,
                         ExpansionContext context, RuleSettings& settings,
                         EntryTable& table);

}  // namespace quendrix
