// Where the rules lookup reads its keys from.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quendrix {

// One rules file as the lookup sees it: one key at a time, with a default
// for whatever is missing and a cut to the size of the caller's buffer. The
// plug-in reads the real file through the platform's profile reader; tests
// hand the lookup a table.
class RulesSource {
 public:
  virtual ~RulesSource() = default;
  virtual std::string Read(std::string_view section, std::string_view key,
                           std::string_view defaultValue,
                           std::size_t bufferSize) const = 0;
};

}  // namespace quendrix
