#include "rules/expand.h"

#include "rules/entry.h"

namespace quendrix {

ExpandedEntry ExpandEntry(std::string_view commandTemplate,
                          std::string_view fileoutTemplate,
                          const ExpansionContext& /*context*/) {
  // The templates are stored as read until placeholders are filled in.
  ExpandedEntry expanded{std::string(commandTemplate),
                         std::string(fileoutTemplate)};
  CutTo(expanded.command, kTemplateLimit);
  CutTo(expanded.fileout, kTemplateLimit);
  return expanded;
}

}  // namespace quendrix
