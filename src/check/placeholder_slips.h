// Words of a template that look like a placeholder but are none: the
// placeholders are matched exactly, with their case, so "fileOut" or
// "fielin" stays in the command as it is written, and the program is handed
// a file of that name instead of the member's.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quendrix {

// The slips in a command template, one sentence each: a run of letters that
// is filein or fileout in another case or one slip of the keyboard away from
// one ("fielin", "fileot"), and a bracketed word that is [N], [E] or
// [quendrix_path] in another case, or [quendrix_path] one slip away. A run
// of letters that holds a placeholder is that placeholder with letters
// around it, which the expansion fills in, and no slip; so is the name of
// an environment variable (%FileIn%).
std::vector<std::string> FindCommandPlaceholderSlips(std::string_view commandTemplate);

// The slips in a member-name template, where only [N] and [E] are filled
// in: [n] and [e].
std::vector<std::string> FindNamePlaceholderSlips(std::string_view nameTemplate);

}  // namespace quendrix
