#include "cli/text_utf8.h"

#include <cstdint>

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
