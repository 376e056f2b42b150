#include "rules/expand.h"

#include "rules/entry.h"
#include "rules/placeholder.h"
#include "rules/replace.h"

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

// A command that starts with a percent sign, typically a token that stayed
// unexpanded, is left to the user's own setting.
void PrefixRelativeCommand(std::string& command,
                           const ExpansionContext& context) {
  if (StartsWithAbsoluteProgram(command, context.pathStyle)) return;
  if (!command.empty() && command[0] == '%') return;
  command.insert(0, InsertionText({}, context.pluginDir, command, context.pathStyle));
  CutTo(command, kTemplateLimit);
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

std::string ExpandNameAndExtension(std::string_view command,
                                   const ExpansionContext& context) {
  const PathStyle style = context.pathStyle;
  const std::string named = ReplacePlaceholder(
      command, kBaseNamePlaceholder, context.baseName, style, kTemplateLimit);
  return ReplacePlaceholder(named, kExtensionPlaceholder, context.extension,
                            style, kTemplateLimit);
}

}  // namespace

ExpandedEntry ExpandEntry(std::string_view commandTemplate,
                          std::string_view fileoutTemplate,
                          const ExpansionContext& context) {
  const PathStyle style = context.pathStyle;
  std::string command = ReplacePlaceholder(
      commandTemplate, kPluginDirPlaceholder, context.pluginDir, style,
      kTemplateLimit);
  command = ExpandEnvironmentTokens(command, context.environment, kTemplateLimit);
  PrefixRelativeCommand(command, context);

  // Member names are never quoted: they are names, not command lines.
  std::string fileout = ReplaceAll(
      ReplaceAll(fileoutTemplate, kBaseNamePlaceholder, context.baseName,
                 kTemplateLimit),
      kExtensionPlaceholder, context.extension, kTemplateLimit);

  command = ReplacePlaceholder(command, kArchivePathPlaceholder,
                               ArchivePathForCommand(context), style,
                               kTemplateLimit);
  command = ExpandNameAndExtension(command, context);
  return {std::move(command), std::move(fileout)};
}

}  // namespace quendrix
