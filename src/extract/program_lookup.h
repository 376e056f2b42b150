// Which programs a final command line runs: a program named without a
// folder runs from the plug-in's folder when it is there, else from the
// folder recipes/ in it (where the shipped recipes' helper scripts lie),
// else the first of its name on PATH, and the line names the one found by
// its full path, so that the log, `explain` and the report of a failure all
// show what runs.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace quendrix {

struct LookupServices;

enum class ProgramSource {
  kAsWritten,     // the command names it with a folder
  kPluginFolder,  // a bare name, found in the plug-in's folder
  kRecipesFolder, // a bare name, found in the folder recipes/ of the plug-in's folder
  kSearchPath,    // a bare name, found on PATH (Windows: SearchPathW's order)
  kNotFound,      // a bare name found in neither
};

struct ProgramChoice {
  std::string name;  // as the command writes it (for a bare name: the name)
  std::string path;  // what runs; for kNotFound the name as written
  ProgramSource source = ProgramSource::kAsWritten;
  // Whether a program file is at `path` (for kAsWritten: as far as can be
  // told; a path relative to the current folder is looked up from there).
  bool exists = false;
};

// The folder in the plug-in's folder that holds the helper scripts of the
// shipped recipes; bare names are looked for there after the plug-in's
// folder itself.
inline constexpr std::string_view kRecipesFolderName = "recipes";

struct ProgramLookup {
  platform::PathStyle style = platform::kPathStyle;
  std::string_view pluginDir;  // with its trailing separator
  // Whether a program file (one the system can start) is at a path.
  std::function<bool(const std::string&)> isProgram;
  // The full path of the first program of a bare name on the system's
  // search path; nothing when there is none.
  std::function<std::optional<std::string>(const std::string&)> searchPath;
};

// Where the programs of the commands of the rules read by the plug-in
// whose folder is `pluginDir` (with its trailing separator) are looked for,
// through `services`: the one lookup of the plug-in's extractions and
// lists, of the keys of kept members and of `explain`. It keeps a view of
// `pluginDir`.
ProgramLookup ProgramLookupOf(std::string_view pluginDir, const LookupServices& services);

struct ResolvedCommand {
  // The line with each program found for a bare name put in by its full
  // path; otherwise as given.
  std::string line;
  // One per program of the line, in order (Windows: the one program).
  std::vector<ProgramChoice> programs;
};

// Finds the programs of `line`. `firstInPluginDir` says that the line's
// first program was written as a bare name and the expansion put the
// plug-in's folder in front of it; the other programs of a POSIX pipeline
// are looked up whenever they are bare names. A line with a syntax problem
// is given back as it is, without programs.
ResolvedCommand ResolvePrograms(std::string_view line, bool firstInPluginDir,
                                const ProgramLookup& lookup);

// The words for where a program was looked for, for a report: "in the
// plug-in's folder (DIR), in its recipes/ or on PATH".
std::string WhereProgramsAreLooked(const ProgramLookup& lookup);

// The recipes folder of a plug-in's folder (with its trailing separator):
// "/usr/lib/quendrix/recipes/" for "/usr/lib/quendrix/".
std::string RecipesFolderOf(std::string_view pluginDir, platform::PathStyle style);

}  // namespace quendrix
