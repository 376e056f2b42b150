#include "rules/replace.h"

namespace quendrix {

std::string ReplaceEach(std::string_view text, std::string_view from,
                        const InsertionFor& insertion, std::size_t limit) {
  std::string result;
  std::size_t start = 0;
  if (!from.empty()) {
    for (std::size_t found = text.find(from); found != std::string_view::npos;
         found = text.find(from, start)) {
      result.append(text.substr(start, found - start));
      // Past the limit the rest would only be cut away again.
      if (result.size() >= limit) break;
      result.append(insertion(result, text.substr(found + from.size())));
      start = found + from.size();
      if (result.size() >= limit) break;
    }
  }
  if (result.size() < limit) result.append(text.substr(start, limit - result.size()));
  if (result.size() > limit) result.resize(limit);
  return result;
}

std::string ReplaceAll(std::string_view text, std::string_view from,
                       std::string_view to, std::size_t limit) {
  return ReplaceEach(
      text, from,
      [to](std::string_view, std::string_view) { return std::string(to); }, limit);
}

}  // namespace quendrix
