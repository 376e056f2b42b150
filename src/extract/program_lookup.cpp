#include "extract/program_lookup.h"

#include "format/command_pipeline.h"
#include "rules/file_rules.h"
#include "rules/placeholder.h"

namespace quendrix {
namespace {

using platform::PathStyle;

bool IsBare(std::string_view name, PathStyle style) {
  if (name.empty()) return false;
  return style == PathStyle::kPosix ? name.find('/') == std::string_view::npos
                                    : name.find_first_of("\\/:") == std::string_view::npos;
}

bool IsProgram(const ProgramLookup& lookup, const std::string& path) {
  if (!lookup.isProgram) return false;
  if (lookup.isProgram(path)) return true;
  // Windows starts "conv" as conv.exe when the name has no extension.
  if (lookup.style == PathStyle::kWindows) {
    const std::size_t slash = path.find_last_of("\\/");
    const std::size_t dot = path.find('.', slash == std::string::npos ? 0 : slash);
    if (dot == std::string::npos) return lookup.isProgram(path + ".exe");
  }
  return false;
}

// A bare name: the plug-in's folder first, then its recipes folder, then
// the search path.
ProgramChoice LookUpBare(std::string name, const ProgramLookup& lookup) {
  ProgramChoice choice;
  const std::string inFolder = std::string(lookup.pluginDir) + name;
  // Without a plug-in's folder "recipes/NAME" would be a path relative to
  // the current folder, which nobody chose.
  const std::string inRecipes =
      lookup.pluginDir.empty() ? std::string() : RecipesFolderOf(lookup.pluginDir, lookup.style) + name;
  if (IsProgram(lookup, inFolder)) {
    choice.path = inFolder;
    choice.source = ProgramSource::kPluginFolder;
    choice.exists = true;
  } else if (!inRecipes.empty() && IsProgram(lookup, inRecipes)) {
    choice.path = inRecipes;
    choice.source = ProgramSource::kRecipesFolder;
    choice.exists = true;
  } else if (const std::optional<std::string> found =
                 lookup.searchPath ? lookup.searchPath(name) : std::nullopt) {
    choice.path = *found;
    choice.source = ProgramSource::kSearchPath;
    choice.exists = true;
  } else {
    choice.path = name;
    choice.source = ProgramSource::kNotFound;
  }
  choice.name = std::move(name);
  return choice;
}

// The program of a word: `expandedInFolder` when the expansion already put
// the plug-in's folder in front of a bare name.
ProgramChoice Choose(const std::string& word, bool expandedInFolder, const ProgramLookup& lookup) {
  if (expandedInFolder && word.starts_with(lookup.pluginDir) &&
      IsBare(std::string_view(word).substr(lookup.pluginDir.size()), lookup.style)) {
    return LookUpBare(word.substr(lookup.pluginDir.size()), lookup);
  }
  if (!expandedInFolder && IsBare(word, lookup.style) && lookup.style == PathStyle::kPosix) {
    return LookUpBare(word, lookup);
  }
  ProgramChoice choice;
  choice.name = word;
  choice.path = word;
  choice.exists = IsProgram(lookup, word);
  return choice;
}

// The text that names `path` as a program where [begin, end) stood.
std::string ProgramText(std::string_view line, std::size_t begin, std::size_t end,
                        const std::string& path, PathStyle style) {
  if (style == PathStyle::kWindows) {
    return path.find_first_of(" \t") == std::string::npos ? path : "\"" + path + "\"";
  }
  return InsertionText(line.substr(0, begin), path, line.substr(end), style);
}

struct ProgramPlace {
  std::size_t begin = 0;
  std::size_t end = 0;
  std::string word;
};

// Where the Windows program token stands, as CreateProcess reads it: from
// the first character that is not a blank to the first blank outside
// quotation marks, each of which opens or closes a quoted stretch and is no
// part of the name.
ProgramPlace WindowsProgram(std::string_view line) {
  ProgramPlace place;
  place.begin = std::min(line.find_first_not_of(" \t"), line.size());
  bool quoted = false;
  std::size_t i = place.begin;
  for (; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '"') {
      quoted = !quoted;
    } else if (!quoted && (c == ' ' || c == '\t')) {
      break;
    } else {
      place.word += c;
    }
  }
  place.end = i;
  return place;
}

}  // namespace

ProgramLookup ProgramLookupOf(std::string_view pluginDir, const LookupServices& services) {
  ProgramLookup lookup;
  lookup.style = services.pathStyle;
  lookup.pluginDir = pluginDir;
  lookup.isProgram = services.isProgram;
  lookup.searchPath = services.searchPath;
  return lookup;
}

ResolvedCommand ResolvePrograms(std::string_view line, bool firstInPluginDir,
                                const ProgramLookup& lookup) {
  ResolvedCommand resolved;
  resolved.line = std::string(line);
  std::vector<ProgramPlace> places;
  if (lookup.style == PathStyle::kWindows) {
    ProgramPlace place = WindowsProgram(line);
    if (place.word.empty()) return resolved;
    places.push_back(std::move(place));
  } else {
    const ParsedCommand parsed = ParseCommandLine(line);
    if (parsed.problem) return resolved;
    for (const PipelineStage& stage : parsed.stages) {
      places.push_back(ProgramPlace{stage.programBegin, stage.programEnd, stage.arguments.front()});
    }
  }
  for (std::size_t i = 0; i < places.size(); ++i) {
    resolved.programs.push_back(Choose(places[i].word, i == 0 && firstInPluginDir, lookup));
  }
  // Found programs go into the line from the right, so that the places of
  // those on their left stay where they were.
  for (std::size_t i = places.size(); i-- > 0;) {
    const ProgramChoice& choice = resolved.programs[i];
    if (choice.source != ProgramSource::kPluginFolder &&
        choice.source != ProgramSource::kRecipesFolder &&
        choice.source != ProgramSource::kSearchPath) {
      continue;
    }
    if (choice.path == places[i].word) continue;
    resolved.line.replace(places[i].begin, places[i].end - places[i].begin,
                          ProgramText(resolved.line, places[i].begin, places[i].end,
                                      choice.path, lookup.style));
  }
  return resolved;
}

std::string WhereProgramsAreLooked(const ProgramLookup& lookup) {
  return "in the plug-in's folder (" + std::string(lookup.pluginDir) + "), in its " +
         RecipesFolderOf("", lookup.style) + " or on PATH";
}

std::string RecipesFolderOf(std::string_view pluginDir, PathStyle style) {
  return std::string(pluginDir) + std::string(kRecipesFolderName) +
         (style == PathStyle::kPosix ? "/" : "\\");
}

}  // namespace quendrix
