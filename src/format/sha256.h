// SHA-256 (FIPS 180-4) of a text: what names and checks an entry of the
// cache of made members, so that a member is never taken for another.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace quendrix {

using Sha256Digest = std::array<std::uint8_t, 32>;

class Sha256 {
 public:
  Sha256();
  void Add(std::string_view bytes);
  Sha256Digest Finish();

 private:
  void Block(const std::uint8_t* block);

  std::array<std::uint32_t, 8> state_;
  std::array<std::uint8_t, 64> buffer_{};
  std::size_t buffered_ = 0;
  std::uint64_t length_ = 0;
};

Sha256Digest Sha256Of(std::string_view bytes);

// The digest's first `bytes` bytes in lower-case hexadecimal.
std::string HexOf(const Sha256Digest& digest, std::size_t bytes = 32);

}  // namespace quendrix
