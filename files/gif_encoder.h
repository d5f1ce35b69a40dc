// The animated GIF encoder both systems' builds use: giflib, so that the
// file the tests decode is the one every program writes. Each frame lasts
// the picture's delay and replaces the one before whole; the transparent
// index is transparent; the animation loops for ever (the Netscape
// application extension).
#pragma once

#include <cstdint>
#include <vector>

#include "card/icon_picture.h"

// False only when giflib fails (out of memory).
bool encode_gif(const IconPicture& picture, std::vector<uint8_t>& bytes);
