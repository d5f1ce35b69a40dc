// Shift-JIS as the window converts it, then UTF-8.
#include <windows.h>

#include <vector>

#include "cli/text_utf8.h"

std::string shift_jis_to_utf8(const std::string& shift_jis) {
  if (shift_jis.empty()) return "";
  const int size = int(shift_jis.size());
  const int wide_length = MultiByteToWideChar(932, MB_PRECOMPOSED, shift_jis.data(), size, nullptr, 0);
  if (wide_length <= 0) return latin1_to_utf8(shift_jis);
  std::vector<wchar_t> wide(static_cast<size_t>(wide_length));
  MultiByteToWideChar(932, MB_PRECOMPOSED, shift_jis.data(), size, wide.data(), wide_length);
  const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_length, nullptr, 0, nullptr, nullptr);
  std::string out(size_t(length > 0 ? length : 0), '\0');
  if (length > 0)
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_length, out.data(), length, nullptr, nullptr);
  return out;
}
