// Shift-JIS through iconv: glibc's CP932 is Microsoft's table, the one the
// window's MultiByteToWideChar uses.
#include <iconv.h>

#include <cerrno>

#include "cli/text_utf8.h"

std::string shift_jis_to_utf8(const std::string& shift_jis) {
  iconv_t converter = iconv_open("UTF-8", "CP932");
  if (converter == iconv_t(-1)) return latin1_to_utf8(shift_jis);
  std::string out;
  char buffer[512];
  char* in = const_cast<char*>(shift_jis.data());
  size_t in_left = shift_jis.size();
  while (in_left > 0) {
    char* next = buffer;
    size_t room = sizeof buffer;
    const size_t result = iconv(converter, &in, &in_left, &next, &room);
    out.append(buffer, size_t(next - buffer));
    if (result == size_t(-1) && errno != E2BIG) {
      out += "\xEF\xBF\xBD";  // U+FFFD for the byte that starts no character
      ++in;
      --in_left;
    }
  }
  iconv_close(converter);
  return out;
}
