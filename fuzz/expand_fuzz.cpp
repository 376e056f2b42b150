// ExpandEntry with arbitrary templates, plug-in directory, archive path,
// base name, extension, settings and environment, in both path styles: every
// expansion ends, and both results keep to the 1023-character cut.
//
// Input: a flags byte (bit 0: POSIX style; bit 1: ShortFileName on; bit 2:
// the platform gives a short form), the command template, the member-name
// template, the plug-in directory, the archive path, the base name, the
// extension, the short form, then any number of NAME=value environment
// variables.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "fuzz_input.h"
#include "rules/entry.h"
#include "rules/expand.h"
#include "rules/placeholder.h"

namespace {

using quendrix::ExpandEntry;
using quendrix::ExpansionContext;
using quendrix::kTemplateLimit;
using quendrix::platform::PathStyle;

// The longest path the short-path lookup is ever handed.
constexpr std::size_t kShortPathArgumentLimit = 4095;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  quendrix::fuzz::FuzzInput input(data, size);
  const std::size_t flags = input.Number(255);
  const std::string_view commandTemplate = input.Field();
  const std::string_view fileoutTemplate = input.Field();

  ExpansionContext context;
  context.pathStyle = (flags & 1) != 0 ? PathStyle::kPosix : PathStyle::kWindows;
  context.shortFileName = (flags & 2) != 0;
  context.pluginDir = input.Field();
  context.archivePath = input.Field();
  context.baseName = input.Field();
  context.extension = input.Field();
  const std::string shortForm((flags & 4) != 0 ? input.Field() : std::string_view());

  std::map<std::string, std::string, std::less<>> variables;
  while (!input.empty()) {
    const std::string_view definition = input.Field();
    const std::size_t equals = definition.find('=');
    if (equals == std::string_view::npos) continue;
    variables.emplace(definition.substr(0, equals), definition.substr(equals + 1));
  }

  std::size_t lookups = 0;
  context.environment = [&](std::string_view name) {
    ++lookups;
    const auto found = variables.find(name);
    return found == variables.end() ? std::string() : found->second;
  };
  std::size_t shortPathCalls = 0;
  context.shortPathOf = [&](std::string_view path) {
    ++shortPathCalls;
    QUENDRIX_FUZZ_CHECK(path.size() <= kShortPathArgumentLimit);
    return shortForm;
  };

  const quendrix::ExpandedEntry expanded =
      ExpandEntry(commandTemplate, fileoutTemplate, context);

  QUENDRIX_FUZZ_CHECK(expanded.command.size() <= kTemplateLimit);
  QUENDRIX_FUZZ_CHECK(expanded.fileout.size() <= kTemplateLimit);
  // Every token looked up moves the scan on by at least three characters of
  // a command that never grows past the cut, whatever the values hold: the
  // expansion of a value that contains its own token ends.
  QUENDRIX_FUZZ_CHECK(lookups <= kTemplateLimit / 3 + 1);
  // The short form is asked for once at most, and only when the rules ask
  // for it.
  QUENDRIX_FUZZ_CHECK(shortPathCalls <= (context.shortFileName ? 1u : 0u));

  // A member name without a placeholder is the template as it stands.
  if (fileoutTemplate.find(quendrix::kBaseNamePlaceholder) == std::string_view::npos &&
      fileoutTemplate.find(quendrix::kExtensionPlaceholder) == std::string_view::npos) {
    QUENDRIX_FUZZ_CHECK(expanded.fileout == fileoutTemplate.substr(0, kTemplateLimit));
  }
  return 0;
}
