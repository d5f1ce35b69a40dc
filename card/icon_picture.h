// The picture a save's icon gives in an image file, for the window and the
// command line alike: the icon's 16x16 pixels, scaled up without smoothing,
// each of its frames, in the icon's own colours, transparent where the
// icon's colour is the PS1's transparent one.
#pragma once

#include <cstdint>
#include <vector>

#include "card/analysis.h"
#include "card/card_image.h"
#include "card/failure.h"
#include "card/icon.h"

constexpr int kIconPixels = 16;
// The sides a picture may have: the icon's own, then 2, 4 and 8 times it.
constexpr int kPictureSides[] = {16, 32, 64, 128};
constexpr int kPaletteSize = 16;

struct PictureColour {
  uint8_t red = 0, green = 0, blue = 0;
  uint8_t alpha = 0;  // 0 transparent, 255 opaque
};

struct IconPicture {
  int side = kIconPixels;
  PictureColour palette[kPaletteSize];
  // The entry every transparent pixel uses, whichever transparent entry of
  // the icon's table it had: a GIF frame has one transparent index. -1 when
  // the icon has no transparent pixel.
  int transparent_index = -1;
  // side * side palette indices each, rows from top to bottom.
  std::vector<std::vector<uint8_t>> frames;
  int frame_delay_ms = kIconFramePeriodMs;
};

bool is_picture_side(int side);

// Refuses what has no icon of its own: "Empty Block !", and "Corrupted
// Block !" for a slot the analysis found corrupted (its icon is the red
// placeholder), both with the caption "Cannot Export". `slot` is a save's
// first block (see selected_save).
Failure check_icon_save(const SlotTable& slots, int slot);

// The icon of the save whose block is `slot` (a further block stands for its
// save, as a click on it does), as the analysis `slots` of `card` found it:
// one frame per icon frame the save header announces, or one black frame
// when it announces none, as the window shows it. `side` is one of
// kPictureSides.
Failure make_icon_picture(const CardImage& card, const SlotTable& slots, int slot, int side,
                          IconPicture& picture);

// The first frame's pixels as 8-bit RGBA, rows from top to bottom: what a
// PNG encoder takes.
std::vector<uint8_t> first_frame_rgba(const IconPicture& picture);
