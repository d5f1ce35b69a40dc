// The window's dots per inch, and the whole-pixel scale the slot view draws
// its icons and frames at: the program declares itself per-monitor DPI aware
// (its manifest), so Windows leaves the drawing to it rather than stretch the
// window as a blurred bitmap. The dialog itself scales by its font, as every
// dialog does.
#pragma once

#include <windows.h>

constexpr int kDefaultDpi = 96;

// The DPI of the monitor the window is on (Windows 10 and later), else the
// system's.
int window_dpi(HWND window);

struct IconScale {
  int pixel = 2;  // screen pixels per side of an icon pixel: 2 at 96 DPI
  int frame = 1;  // pixels per line of the slots' frames: 1 at 96 DPI
};
// Whole pixels, never smoothed: 2 and 1 at 96 DPI (100 %), 3 and 1 at 144
// (150 %), 4 and 2 at 192 (200 %).
IconScale icon_scale(int dpi);
