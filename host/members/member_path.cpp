#include "members/member_path.h"

#include <vector>

namespace quendrix::host {
namespace {

bool IsSeparator(char c, platform::PathStyle style) {
  return c == '/' || (style == platform::PathStyle::kWindows && c == '\\');
}

}  // namespace

std::optional<std::string> RelativeMemberPath(std::string_view name,
                                              platform::PathStyle style) {
  if (name.empty() || IsSeparator(name.front(), style) ||
      IsSeparator(name.back(), style)) {
    return std::nullopt;
  }
  if (style == platform::PathStyle::kWindows &&
      name.find(':') != std::string_view::npos) {
    return std::nullopt;
  }

  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= name.size(); ++i) {
    if (i < name.size() && !IsSeparator(name[i], style)) continue;
    const std::string_view part = name.substr(start, i - start);
    start = i + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") return std::nullopt;
    parts.push_back(part);
  }
  if (parts.empty()) return std::nullopt;

  std::string path;
  for (const std::string_view part : parts) {
    if (!path.empty()) path += platform::SeparatorOf(style);
    path += part;
  }
  return path;
}

}  // namespace quendrix::host
