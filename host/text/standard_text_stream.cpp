#include "text/standard_text_stream.h"

namespace quendrix::host {
namespace {

// The length of the longest start of `text` that ends with a whole UTF-8
// sequence: an incomplete lead and continuation bytes at the end wait for
// the rest of their character.
std::size_t WholeLength(const std::string& text) {
  const std::size_t size = text.size();
  for (std::size_t back = 1; back <= 3 && back <= size; ++back) {
    const auto byte = static_cast<unsigned char>(text[size - back]);
    if ((byte & 0xC0) == 0x80) continue;  // a continuation byte
    const std::size_t needed =
        byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
    return needed > back ? size - back : size;
  }
  return size;
}

}  // namespace

StandardTextStream::StandardTextStream(platform::StandardStream which)
    : buffer_(which), stream_(&buffer_) {}

StandardTextStream::~StandardTextStream() { buffer_.FlushAll(); }

std::streambuf::int_type StandardTextStream::Buffer::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  pending_ += traits_type::to_char_type(c);
  if (c == '\n') FlushWhole();
  return c;
}

int StandardTextStream::Buffer::sync() {
  FlushWhole();
  return 0;
}

void StandardTextStream::Buffer::FlushWhole() {
  const std::size_t whole = WholeLength(pending_);
  if (whole == 0) return;
  platform::WriteStandardText(which_, std::string_view(pending_).substr(0, whole));
  pending_.erase(0, whole);
}

void StandardTextStream::Buffer::FlushAll() {
  if (pending_.empty()) return;
  platform::WriteStandardText(which_, pending_);
  pending_.clear();
}

}  // namespace quendrix::host
