// The PNG half of files/picture_file.h, one per system: libpng on Linux
// (png_encoder_posix.cpp), WIC on Windows (png_encoder_windows.cpp), the
// browser's canvas in the web page (png_encoder_web.cpp).
#pragma once

#include <cstdint>
#include <vector>

#include "card/icon_picture.h"

// The first frame as 8-bit RGBA, transparent pixels of alpha 0. False when
// the system's library fails.
bool encode_png(const IconPicture& picture, std::vector<uint8_t>& bytes);
