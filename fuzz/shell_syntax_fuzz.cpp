// The Linux command-line syntax: whatever the value and the template, the
// command split after insertion holds the value exactly, inside the word
// where its placeholder stood, and nothing else changes: a value never
// becomes an operator (< > |) nor takes one away. And any line reads as a
// pipeline or a problem, with every position inside the line.
//
// Input: which placeholder to fill in, the value, the template, then the
// plug-in directory, base name, extension and destination for a whole POSIX
// expansion and extraction (whose archive path is the value).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "fuzz_input.h"
#include "marked_command.h"
#include "rules/entry.h"
#include "rules/expand.h"
#include "rules/placeholder.h"
#include "format/command_pipeline.h"
#include "format/shell_words.h"

namespace {

using quendrix::QuoteState;
using quendrix::fuzz::ExpectedTokens;
using quendrix::fuzz::TokenTexts;
using quendrix::fuzz::MarkPlaceholder;
using quendrix::fuzz::UnusedMarker;
using quendrix::platform::PathStyle;

// Large enough that no cut interferes with the property.
constexpr std::size_t kNoCut = std::size_t{1} << 24;

// The whole expansion is checked only where no step can reach the 1023
// cut: a short template with few placeholders and short values.
constexpr std::size_t kLongestCheckedTemplate = 200;
constexpr std::size_t kLongestCheckedValue = 24;
constexpr std::size_t kMostCheckedPlaceholders = 4;

// QuoteFor's text, put where its state is in force, reads back as one word
// that is exactly the value.
void CheckQuoting(std::string_view value) {
  using Tokens = std::vector<quendrix::fuzz::TokenText>;
  const Tokens expected{{quendrix::TokenKind::kWord, std::string(value)}};
  QUENDRIX_FUZZ_CHECK(TokenTexts(quendrix::QuoteFor(QuoteState::kUnquoted, value)) == expected);
  QUENDRIX_FUZZ_CHECK(
      TokenTexts("\"" + quendrix::QuoteFor(QuoteState::kDoubleQuoted, value) + "\"") ==
      expected);
  QUENDRIX_FUZZ_CHECK(
      TokenTexts("'" + quendrix::QuoteFor(QuoteState::kSingleQuoted, value) + "'") == expected);
}

// Any line reads as programs and files, or as one problem, and every place
// it tells lies inside the line.
void CheckPipeline(std::string_view line) {
  const quendrix::ParsedCommand parsed = quendrix::ParseCommandLine(line);
  if (parsed.problem) {
    QUENDRIX_FUZZ_CHECK(parsed.problem->position < line.size());
    QUENDRIX_FUZZ_CHECK(!parsed.problem->text.empty());
    return;
  }
  QUENDRIX_FUZZ_CHECK(parsed.stages.size() <= quendrix::kPipelineStageLimit);
  for (const quendrix::PipelineStage& stage : parsed.stages) {
    QUENDRIX_FUZZ_CHECK(!stage.arguments.empty());
    QUENDRIX_FUZZ_CHECK(stage.programBegin < stage.programEnd && stage.programEnd <= line.size());
  }
  for (const auto* file : {&parsed.input, &parsed.output}) {
    if (*file) QUENDRIX_FUZZ_CHECK((*file)->begin < (*file)->end && (*file)->end <= line.size());
  }
}

void CheckReplacement(std::string_view line, std::string_view placeholder,
                      std::string_view value) {
  const std::optional<char> marker = UnusedMarker({line, value});
  if (!marker) return;
  bool removed = false;
  const std::string marked = MarkPlaceholder(line, placeholder, *marker, value.empty(), removed);
  const std::string replaced =
      quendrix::ReplacePlaceholder(line, placeholder, value, PathStyle::kPosix, kNoCut);
  QUENDRIX_FUZZ_CHECK(TokenTexts(replaced) == ExpectedTokens(marked, {{*marker, value}}));
}

// The plug-in directory is absolute, so a command that starts with it, bare
// or after one quotation mark, names its program by a full path.
bool NamesProgramByPath(std::string_view marked, char dirMarker) {
  const auto isPathStart = [dirMarker](char c) { return c == '/' || c == dirMarker; };
  if (marked.starts_with('"') || marked.starts_with('\'')) marked.remove_prefix(1);
  return !marked.empty() && isPathStart(marked.front());
}

std::size_t CountOf(std::string_view text, std::string_view placeholder) {
  std::size_t count = 0;
  for (std::size_t at = text.find(placeholder); at != std::string_view::npos;
       at = text.find(placeholder, at + placeholder.size())) {
    ++count;
  }
  return count;
}

// ExpandEntry in the POSIX style, without environment values and without
// short forms, and then the destination put in as extraction puts it, against
// the marked template taken through the same steps.
void CheckExpansion(std::string_view commandTemplate, std::string_view pluginDir,
                    std::string_view archivePath, std::string_view baseName,
                    std::string_view extension, std::string_view destination) {
  using namespace quendrix;
  if (commandTemplate.size() > kLongestCheckedTemplate) return;
  // A command that starts with "< FILE" gets the plug-in's folder in front
  // of its program's word, which only the command syntax itself can find;
  // the unit tests hold that case.
  const std::size_t first = commandTemplate.find_first_not_of(" \t\n");
  if (first != std::string_view::npos && commandTemplate[first] == '<') return;
  std::size_t placeholders = 0;
  for (const std::string_view value :
       {pluginDir, archivePath, baseName, extension, destination}) {
    if (value.size() > kLongestCheckedValue + 1) return;
  }
  for (const std::string_view placeholder : kPlaceholders) {
    placeholders += CountOf(commandTemplate, placeholder);
  }
  if (placeholders > kMostCheckedPlaceholders) return;

  std::string taken;
  std::vector<fuzz::MarkerValue> values;
  for (const std::string_view value :
       {pluginDir, archivePath, baseName, extension, destination}) {
    const std::optional<char> marker = UnusedMarker(
        {commandTemplate, pluginDir, archivePath, baseName, extension, destination}, taken);
    if (!marker) return;
    taken += *marker;
    values.push_back({*marker, value});
  }
  const char dirMarker = values[0].marker;

  bool removed = false;
  std::string marked =
      MarkPlaceholder(commandTemplate, kPluginDirPlaceholder, dirMarker, false, removed);
  if (!NamesProgramByPath(marked, dirMarker) && !marked.starts_with('%')) {
    marked = dirMarker + marked;
  }
  // An empty value right after a backslash outside quotes can change the
  // quoting around what earlier steps put in; nothing more than what
  // CheckReplacement checks is promised for it.
  for (std::size_t step = 1; step < values.size(); ++step) {
    constexpr std::string_view kLaterPlaceholders[] = {
        kArchivePathPlaceholder, kBaseNamePlaceholder, kExtensionPlaceholder,
        kDestinationPlaceholder};
    marked = MarkPlaceholder(marked, kLaterPlaceholders[step - 1], values[step].marker,
                             values[step].value.empty(), removed);
    if (removed) return;
  }

  ExpansionContext context;
  context.pathStyle = PathStyle::kPosix;
  context.pluginDir = pluginDir;
  context.archivePath = archivePath;
  context.baseName = baseName;
  context.extension = extension;
  const ExpandedEntry expanded = ExpandEntry(commandTemplate, "", context);
  QUENDRIX_FUZZ_CHECK(expanded.command.size() < kTemplateLimit);
  const std::string final = ReplacePlaceholder(expanded.command, kDestinationPlaceholder,
                                               destination, PathStyle::kPosix, kNoCut);
  QUENDRIX_FUZZ_CHECK(TokenTexts(final) == fuzz::ExpectedTokens(marked, values));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  quendrix::fuzz::FuzzInput input(data, size);
  const std::string_view placeholder =
      quendrix::kPlaceholders[input.Number(255) % quendrix::kPlaceholders.size()];
  const std::string_view value = input.Field();
  const std::string_view line = input.Field();
  const std::string pluginDir = "/" + std::string(input.Field());
  const std::string_view baseName = input.Field();
  const std::string_view extension = input.Field();
  const std::string_view destination = input.Field();

  CheckQuoting(value);
  CheckPipeline(line);
  CheckReplacement(line, placeholder, value);
  CheckExpansion(line, pluginDir, value, baseName, extension, destination);
  return 0;
}
