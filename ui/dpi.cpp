#include "ui/dpi.h"

#include <algorithm>

int window_dpi(HWND window) {
  // GetDpiForWindow came with Windows 10 1607: looked up, so that older
  // systems still run the program.
  using DpiForWindow = UINT(WINAPI*)(HWND);
  static const auto dpi_for_window = reinterpret_cast<DpiForWindow>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
  if (dpi_for_window && window) {
    const UINT dpi = dpi_for_window(window);
    if (dpi > 0) return int(dpi);
  }
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : kDefaultDpi;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : kDefaultDpi;
}

IconScale icon_scale(int dpi) {
  IconScale scale;
  scale.pixel = std::max(2, 2 * dpi / kDefaultDpi);
  scale.frame = std::max(1, dpi / kDefaultDpi);
  return scale;
}
