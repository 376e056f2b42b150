// The Linux command-line syntax: whatever the value and the template, the
// command split after insertion holds the value exactly, inside the word
// where its placeholder stood, and nothing else changes.
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
#include "format/shell_words.h"

namespace {

using quendrix::QuoteState;
using quendrix::SplitCommandLine;
using quendrix::fuzz::ExpectedWords;
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
  using Words = std::vector<std::string>;
  const Words expected{std::string(value)};
  QUENDRIX_FUZZ_CHECK(SplitCommandLine(quendrix::QuoteFor(QuoteState::kUnquoted, value)) ==
                      expected);
  QUENDRIX_FUZZ_CHECK(
      SplitCommandLine("\"" + quendrix::QuoteFor(QuoteState::kDoubleQuoted, value) + "\"") ==
      expected);
  QUENDRIX_FUZZ_CHECK(
      SplitCommandLine("'" + quendrix::QuoteFor(QuoteState::kSingleQuoted, value) + "'") ==
      expected);
}

void CheckReplacement(std::string_view line, std::string_view placeholder,
                      std::string_view value) {
  const std::optional<char> marker = UnusedMarker({line, value});
  if (!marker) return;
  bool removed = false;
  const std::string marked = MarkPlaceholder(line, placeholder, *marker, value.empty(), removed);
  const std::string replaced =
      quendrix::ReplacePlaceholder(line, placeholder, value, PathStyle::kPosix, kNoCut);
  QUENDRIX_FUZZ_CHECK(SplitCommandLine(replaced) == ExpectedWords(marked, {{*marker, value}}));
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
  QUENDRIX_FUZZ_CHECK(SplitCommandLine(final) == fuzz::ExpectedWords(marked, values));
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
  CheckReplacement(line, placeholder, value);
  CheckExpansion(line, pluginDir, value, baseName, extension, destination);
  return 0;
}
