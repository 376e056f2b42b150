// How much a member's file grew between two looks at it.
#pragma once

#include <cstdint>
#include <optional>

namespace quendrix {

// Progress is reported to hosts as bytes added since the previous report,
// so that the reports of a member add up to its final size. A file that
// shrinks (a converter that truncates and rewrites it) reports nothing and
// counts from its new size.
class GrowthMeter {
 public:
  // `startSize`: the file's size before its program started; 0 when there
  // was no file.
  explicit GrowthMeter(std::int64_t startSize) : last_(startSize > 0 ? startSize : 0) {}

  // The bytes added since the last look, given the size now (nothing when
  // there is no file yet or no longer).
  std::int64_t Grown(std::optional<std::int64_t> sizeNow) {
    const std::int64_t size = sizeNow.value_or(0);
    const std::int64_t grown = size > last_ ? size - last_ : 0;
    last_ = size;
    return grown;
  }

 private:
  std::int64_t last_;
};

}  // namespace quendrix
