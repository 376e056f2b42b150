#include "rules/expand.h"

#include "rules/entry.h"
#include "rules/placeholder.h"
#include "rules/replace.h"
#include "format/command_pipeline.h"
#include "format/shell_words.h"

namespace quendrix {
namespace {

using platform::PathStyle;

// The archive path handed to the short-path lookup is cut like a path in a
// buffer of 4096 bytes.
constexpr std::size_t kShortPathArgumentLimit = 4095;

// A command names its program by a full path when it starts with one: on
// Windows a drive path, directly or after one character such as a quotation
// mark (the first ":\" at the second or third character); on POSIX a "/",
// directly or after one quotation mark.
bool StartsWithAbsoluteProgram(std::string_view command, PathStyle style) {
  if (style == PathStyle::kWindows) {
    const std::size_t driveColon = command.find(":\\");
    return driveColon == 1 || driveColon == 2;
  }
  if (command.empty()) return false;
  if (command[0] == '/') return true;
  return command.size() >= 2 && (command[0] == '"' || command[0] == '\'') &&
         command[1] == '/';
}

// The program's name as the command writes it at `at`: on Windows the first
// token, in quotes or up to the first blank; on POSIX the word there.
std::string ProgramWordAt(std::string_view command, std::size_t at, PathStyle style) {
  if (style == PathStyle::kPosix) {
    const TokenizedLine first = TokenizeCommandLine(command.substr(at), 1);
    if (first.tokens.empty() || first.tokens.front().kind != TokenKind::kWord) return {};
    return first.tokens.front().text;
  }
  if (command.starts_with('"')) {
    const std::size_t close = command.find('"', 1);
    return std::string(command.substr(1, close == std::string_view::npos ? close : close - 1));
  }
  return std::string(command.substr(0, command.find_first_of(" \t")));
}

// A bare name has no folder part: it means a program that the plug-in's
// folder or PATH holds.
bool IsBareName(std::string_view name, PathStyle style) {
  if (name.empty()) return false;
  return style == PathStyle::kPosix ? name.find('/') == std::string_view::npos
                                    : name.find_first_of("\\/:") == std::string_view::npos;
}

// Where the plug-in's folder goes in front of a relative command: its start.
// A POSIX command that begins with a redirection ("< filein tool") names its
// program after it, and the folder goes in front of that word.
std::size_t ProgramStart(std::string_view command, PathStyle style) {
  if (style != PathStyle::kPosix) return 0;
  const std::size_t first = command.find_first_not_of(" \t\n");
  if (first == std::string_view::npos || command[first] != '<') return 0;
  const ParsedCommand parsed = ParseCommandLine(command);
  return parsed.stages.empty() ? 0 : parsed.stages.front().programBegin;
}

// A command that starts with a percent sign, typically a token that stayed
// unexpanded, is left to the user's own setting. Says whether the command
// named its program by a bare name that got the folder in front.
bool PrefixRelativeCommand(std::string& command, const ExpansionContext& context) {
  const std::size_t at = ProgramStart(command, context.pathStyle);
  const std::string_view program = std::string_view(command).substr(at);
  if (StartsWithAbsoluteProgram(program, context.pathStyle)) return false;
  if (!command.empty() && command[0] == '%') return false;
  const bool bare = IsBareName(ProgramWordAt(command, at, context.pathStyle), context.pathStyle);
  command.insert(at, InsertionText(std::string_view(command).substr(0, at), context.pluginDir,
                                   program, context.pathStyle));
  CutTo(command, kTemplateLimit);
  return bare;
}

std::string ArchivePathForCommand(const ExpansionContext& context) {
  if (!context.shortFileName || !context.shortPathOf) {
    return std::string(context.archivePath);
  }
  const std::string shortPath = context.shortPathOf(
      context.archivePath.substr(0, kShortPathArgumentLimit));
  // A command that silently lost its input would run on nothing: without a
  // short form the archive path stands as it is.
  return shortPath.empty() ? std::string(context.archivePath) : shortPath;
}

// Most templates hold only some of the placeholders, and each step would
// otherwise copy the whole text to change nothing; every text here is already
// within the limit, so a step that finds nothing leaves it as it is.
void ReplacePlaceholderIn(std::string& command, std::string_view placeholder,
                          std::string_view value, PathStyle style) {
  if (command.find(placeholder) == std::string::npos) return;
  command = ReplacePlaceholder(command, placeholder, value, style, kTemplateLimit);
}

void ReplaceAllIn(std::string& text, std::string_view from, std::string_view to) {
  if (text.find(from) == std::string::npos) return;
  text = ReplaceAll(text, from, to, kTemplateLimit);
}

}  // namespace

ExpandedEntry ExpandEntry(std::string_view commandTemplate,
                          std::string_view fileoutTemplate,
                          const ExpansionContext& context) {
  const PathStyle style = context.pathStyle;
  std::string command(commandTemplate.substr(0, kTemplateLimit));
  // Every step cuts at the limit. A template that was cut when it was read
  // runs cut, as its rule is written (check points it out); one that only
  // the values put in pushed past the limit, which depends on the file's
  // path, has lost an end its rule never asked to lose.
  const bool readWhole = commandTemplate.size() < kTemplateLimit;
  bool cut = false;
  ReplacePlaceholderIn(command, kPluginDirPlaceholder, context.pluginDir, style);
  cut = cut || command.size() >= kTemplateLimit;
  if (command.find('%') != std::string::npos) {
    command = ExpandEnvironmentTokens(command, context.environment, kTemplateLimit);
    cut = cut || command.size() >= kTemplateLimit;
  }
  const bool programInPluginDir = PrefixRelativeCommand(command, context);
  cut = cut || command.size() >= kTemplateLimit;

  // Member names are never quoted: they are names, not command lines.
  std::string fileout(fileoutTemplate.substr(0, kTemplateLimit));
  ReplaceAllIn(fileout, kBaseNamePlaceholder, context.baseName);
  ReplaceAllIn(fileout, kExtensionPlaceholder, context.extension);

  // The archive path, and its short form, are looked for only when needed.
  if (command.find(kArchivePathPlaceholder) != std::string::npos) {
    command = ReplacePlaceholder(command, kArchivePathPlaceholder,
                                 ArchivePathForCommand(context), style,
                                 kTemplateLimit);
  }
  cut = cut || command.size() >= kTemplateLimit;
  ReplacePlaceholderIn(command, kBaseNamePlaceholder, context.baseName, style);
  cut = cut || command.size() >= kTemplateLimit;
  ReplacePlaceholderIn(command, kExtensionPlaceholder, context.extension, style);
  cut = cut || command.size() >= kTemplateLimit;
  return {std::move(command), std::move(fileout), programInPluginDir, readWhole && cut};
}

}  // namespace quendrix
