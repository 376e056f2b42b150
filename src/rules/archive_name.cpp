#include "rules/archive_name.h"

namespace quendrix {

ArchiveName SplitArchiveName(std::string_view path, platform::PathStyle style) {
  std::string_view name = path;
  const std::size_t separator = name.rfind(platform::SeparatorOf(style));
  if (separator != std::string_view::npos) name.remove_prefix(separator + 1);

  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return {std::string(name), {}};
  return {std::string(name.substr(0, dot)), std::string(name.substr(dot + 1))};
}

}  // namespace quendrix
