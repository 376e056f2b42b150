// The rules lookup: which members a file of a given extension shows.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
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
  // On to keep made members in the user's cache, for programs whose member
  // depends on nothing but the file and the command.
  std::string cacheFlag = "0";  // at most one character
  // The package that brings the section's programs, named when one of them
  // cannot be started (Package=); empty when the section names none.
  std::string package;
};

// A setting is on only when its text is exactly "1".
inline bool IsOn(std::string_view flag) { return flag == "1"; }

// How long a list program may run by default, and at most.
inline constexpr std::chrono::seconds kDefaultListTimeout{30};
inline constexpr std::chrono::seconds kLongestListTimeout{3600};

// The members a section lists by a program: its list= command, whose
// program prints their names, and its extract= command, which makes any of
// them, with "[M]" standing for the member's name.
struct ListRules {
  std::string command;  // list=, expanded as a command is
  bool programInPluginDir = false;
  std::optional<std::string> extractCommand;  // extract=, expanded; [M] and fileout left
  bool extractProgramInPluginDir = false;
  // The expansion cut the list or the extract command (see ExpandedEntry).
  bool commandCut = false;
  bool extractCut = false;
  // ListTimeout= in seconds (1 to kLongestListTimeout); past it the open fails.
  std::chrono::seconds timeout = kDefaultListTimeout;
};

struct LookupResult {
  std::string command1;  // the raw command1 of the resolved section, or kNotFound
  std::string section;   // the section the keys were read from, after synonym
  // The section's list=, when it has one.
  std::optional<ListRules> list;

  // A file is served when its section has command1 or list=.
  bool Serves() const { return command1 != kNotFound || list.has_value(); }
};

// Reads the section for `extension` (after one synonym step) from `rules`,
// fills `settings`, and rebuilds `table` with one expanded entry per complete
// command/fileout pair, numbered from 1; list=, extract= and ListTimeout=
// go into the result's `list`. `context` supplies what expansion
// fills in; its shortFileName is taken from the section read here.
LookupResult LookupRules(std::string_view extension, const RulesSource& rules,
                         ExpansionContext context, RuleSettings& settings,
                         EntryTable& table);

// The entry that makes the listed member `name`: the section's extract=
// with the name in place of [M], for a system of `style`; nothing when the
// section has no extract=. EntryOfMember (rules/file_rules.h) asks here for
// every listed member.
std::optional<Entry> ListedMemberEntry(const ListRules& list, std::string_view name,
                                       platform::PathStyle style);

}  // namespace quendrix
