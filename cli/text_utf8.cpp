#include "cli/text_utf8.h"

#include <cstdint>

std::string latin1_to_utf8(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c < 0x80) {
      out += char(c);
    } else {
      out += char(0xC0 | (c >> 6));
      out += char(0x80 | (c & 0x3F));
    }
  }
  return out;
}

namespace {

// Strict UTF-8: no stray or missing continuation bytes, no overlong forms,
// no surrogates, nothing above U+10FFFF.
bool is_utf8(const std::string& text) {
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = text[i];
    const int length = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
    if (length == 0 || c > 0xF4 || i + length > text.size()) return false;
    uint32_t code = length == 1 ? c : c & (0x3F >> (length - 1));
    for (int k = 1; k < length; ++k) {
      const unsigned char next = text[i + k];
      if ((next & 0xC0) != 0x80) return false;
      code = code << 6 | (next & 0x3F);
    }
    static const uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kSmallest[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return false;
    i += length;
  }
  return true;
}

}  // namespace

std::string comment_to_utf8(const std::string& text) {
  return is_utf8(text) ? text : latin1_to_utf8(text);
}

namespace {

constexpr uint32_t kFullWidthFirst = 0xFF01;  // ！, then the rest of ASCII's printable range
constexpr uint32_t kFullWidthLast = 0xFF5E;   // ～
constexpr uint32_t kFullWidthOffset = 0xFEE0;
constexpr uint32_t kIdeographicSpace = 0x3000;

char lower_ascii(uint32_t code) { return char(code >= 'A' && code <= 'Z' ? code - 'A' + 'a' : code); }

}  // namespace

std::string folded_for_search(const std::string& utf8) {
  std::string out;
  for (size_t i = 0; i < utf8.size();) {
    const unsigned char c = utf8[i];
    // Only the three-byte forms fold; every other byte passes as it is.
    if (c == 0xE3 || c == 0xEF) {
      if (i + 2 < utf8.size() && (utf8[i + 1] & 0xC0) == 0x80 && (utf8[i + 2] & 0xC0) == 0x80) {
        const uint32_t code = (c & 0x0F) << 12 | (utf8[i + 1] & 0x3F) << 6 | (utf8[i + 2] & 0x3F);
        if (code >= kFullWidthFirst && code <= kFullWidthLast) {
          out += lower_ascii(code - kFullWidthOffset);
          i += 3;
          continue;
        }
        if (code == kIdeographicSpace) {
          out += ' ';
          i += 3;
          continue;
        }
      }
    }
    out += c < 0x80 ? lower_ascii(c) : char(c);
    ++i;
  }
  return out;
}
