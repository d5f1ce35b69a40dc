// 32x32 24-bit top-down bitmaps made from decoded icons.
#pragma once

#include <windows.h>

#include "card/icon.h"

// Null when the bitmap cannot be created; drawing skips null bitmaps.
HBITMAP create_icon_bitmap(const IconImage& image);
void destroy_bitmap(HBITMAP& bitmap);
