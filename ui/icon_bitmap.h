// 24-bit top-down bitmaps made from decoded icons, 32 x 32 at 96 DPI: each
// of the icon's 16 x 16 pixels a square of `pixel` screen pixels.
#pragma once

#include <windows.h>

#include "card/icon.h"

// The side of the bitmap for icon pixels of that size.
constexpr int icon_bitmap_side(int pixel) { return 16 * pixel; }

// Null when the bitmap cannot be created; drawing skips null bitmaps.
// `pixel` is 2 or more (2: the decoded image as it is).
HBITMAP create_icon_bitmap(const IconImage& image, int pixel = 2);
void destroy_bitmap(HBITMAP& bitmap);
