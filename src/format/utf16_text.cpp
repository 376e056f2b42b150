#include "format/utf16_text.h"

namespace quendrix {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

bool IsLeadSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsTrailSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

void AppendUtf16(std::u16string& out, char32_t code) {
  if (code < 0x10000) {
    out += static_cast<char16_t>(code);
    return;
  }
  code -= 0x10000;
  out += static_cast<char16_t>(0xD800 | (code >> 10));
  out += static_cast<char16_t>(0xDC00 | (code & 0x3FF));
}

// How a sequence that starts with `lead` goes on: the number of bytes that
// follow, and the range the first of them must lie in (the ranges rule out
// overlong forms and numbers past U+10FFFF; surrogates are let through).
struct SequenceShape {
  int following = -1;  // -1: `lead` starts no sequence
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
};

SequenceShape ShapeOf(unsigned char lead) {
  if (lead >= 0xC2 && lead <= 0xDF) return {1};
  if (lead == 0xE0) return {2, 0xA0, 0xBF};
  if (lead >= 0xE1 && lead <= 0xEF) return {2};
  if (lead == 0xF0) return {3, 0x90, 0xBF};
  if (lead >= 0xF1 && lead <= 0xF3) return {3};
  if (lead == 0xF4) return {3, 0x80, 0x8F};
  return {};
}

}  // namespace

void AppendUtf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

std::string Utf8FromUtf16(std::u16string_view text) {
  std::string out;
  out.reserve(text.size() * 3);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char32_t unit = text[i];
    if (IsLeadSurrogate(unit) && i + 1 < text.size() &&
        IsTrailSurrogate(text[i + 1])) {
      const char32_t trail = text[++i];
      AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (trail - 0xDC00));
    } else {
      AppendUtf8(out, unit);  // a lone surrogate keeps its own number
    }
  }
  return out;
}

std::u16string Utf16FromUtf8(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      out += static_cast<char16_t>(lead);
      ++i;
      continue;
    }
    const SequenceShape shape = ShapeOf(lead);
    if (shape.following < 0) {
      out += kReplacement;
      ++i;
      continue;
    }
    char32_t code = lead & (0x3F >> shape.following);
    std::size_t next = i + 1;
    int taken = 0;
    for (; taken < shape.following && next < text.size(); ++taken, ++next) {
      const auto byte = static_cast<unsigned char>(text[next]);
      const unsigned char low = taken == 0 ? shape.low : 0x80;
      const unsigned char high = taken == 0 ? shape.high : 0xBF;
      if (byte < low || byte > high) break;
      code = (code << 6) | (byte & 0x3F);
    }
    if (taken == shape.following) {
      AppendUtf16(out, code);
    } else if (next < text.size()) {
      out += kReplacement;
    }
    // A sequence that the end of the text broke off is the remnant of a cut.
    i = next;
  }
  return out;
}

std::u16string_view CutUtf16(std::u16string_view text, std::size_t limit) {
  if (text.size() <= limit) return text;
  std::size_t length = limit;
  if (length > 0 && IsLeadSurrogate(text[length - 1]) &&
      IsTrailSurrogate(text[length])) {
    --length;
  }
  return text.substr(0, length);
}

std::u16string_view Utf16Terminated(const char16_t* text) {
  return text == nullptr ? std::u16string_view() : std::u16string_view(text);
}

}  // namespace quendrix
