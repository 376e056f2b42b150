// The rules check: every problem of a whole rules file that keeps a rule
// from doing what it says, found without running anything, each at the
// line a user has to change.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "check/check_services.h"

namespace quendrix {

struct RuleProblem {
  std::size_t line = 0;  // from 1; 0 for the keys before the first header
  std::string section;   // the section's name as its header writes it
  std::string text;      // one sentence, in words a user acts on
};

struct RulesCheck {
  std::vector<RuleProblem> problems;  // in the order of their lines
  std::size_t sections = 0;  // sections a lookup can read
  std::size_t members = 0;   // the members they list together
};

// Reads the bytes of a rules file as the plug-in reads them and points out,
// section by section: repeated sections and keys (the first wins), lines
// that are no key, keys that quendrix does not read, section names no file
// can have, a synonym to no section or to a section with a synonym of its
// own, keys beside a synonym, the numbering of the members, settings that
// are neither on nor off as written, and every member's problems (see
// FindMemberProblems).
RulesCheck CheckRules(std::string bytes, const CheckServices& services);

// Whether `problem` is about the section a lookup of `section` reads.
bool ProblemOfSection(const RuleProblem& problem, std::string_view section);

}  // namespace quendrix
