// How a fuzz target reads its input: fields separated by the byte 0x1F
// (ASCII unit separator), so that seed inputs can be written as text. The
// last field a target reads with Rest() takes every remaining byte, the
// separator included, so the largest input of a target (a rules file, say)
// can hold any byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quendrix::fuzz {

inline constexpr char kFieldSeparator = '\x1f';

class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size)
      : rest_(reinterpret_cast<const char*>(data), size) {}

  // The bytes up to the next separator, which is consumed; the remaining
  // bytes when there is none; empty once the input is used up.
  std::string_view Field() {
    const std::size_t end = rest_.find(kFieldSeparator);
    const std::string_view field = rest_.substr(0, end);
    rest_.remove_prefix(end == std::string_view::npos ? rest_.size() : end + 1);
    return field;
  }

  // Every remaining byte.
  std::string_view Rest() {
    const std::string_view rest = rest_;
    rest_ = {};
    return rest;
  }

  // A number from the next field: its leading decimal digits when it starts
  // with one (so seeds can say "1024"), else its first byte; at most `limit`.
  std::size_t Number(std::size_t limit) {
    const std::string_view field = Field();
    std::size_t value = 0;
    if (!field.empty() && field[0] >= '0' && field[0] <= '9') {
      for (const char c : field) {
        if (c < '0' || c > '9') break;
        value = value * 10 + static_cast<std::size_t>(c - '0');
        if (value > limit) return limit;
      }
      return value;
    }
    value = field.empty() ? 0 : static_cast<unsigned char>(field[0]);
    return value > limit ? limit : value;
  }

  bool empty() const { return rest_.empty(); }

 private:
  std::string_view rest_;
};

}  // namespace quendrix::fuzz
