#include "extract/destination.h"

#include "rules/entry.h"

namespace quendrix {

std::string BuildDestination(std::string_view destName, bool shortFileName,
                             platform::PathStyle style,
                             const ShortPathLookup& shortPathOf) {
  if (!shortFileName) return std::string(destName);

  const std::string_view cut = destName.substr(0, kCommandLimit);
  const std::size_t separator = cut.rfind(platform::SeparatorOf(style));
  const std::size_t nameStart =
      separator == std::string_view::npos ? 0 : separator + 1;
  const std::string_view directory = cut.substr(0, nameStart);
  const std::string_view name = cut.substr(nameStart);
  if (directory.empty()) return std::string(name);

  std::string shortDirectory = shortPathOf ? shortPathOf(directory) : std::string();
  if (shortDirectory.empty()) shortDirectory = directory;
  return shortDirectory + std::string(name);
}

}  // namespace quendrix
