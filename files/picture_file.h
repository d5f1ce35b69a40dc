// Icon pictures as image files: a PNG of the first frame, or an animated GIF
// of every frame that loops for ever. PNG through the system's own library
// behind one interface with a half per system, as the cryptography is
// (png_encoder.h); GIF through giflib everywhere (gif_encoder.h).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "card/analysis.h"
#include "card/card_image.h"
#include "card/failure.h"
#include "card/icon_picture.h"

enum class PictureFormat { png, gif };

// By the name's extension, .png or .gif in any case; nothing for any other.
std::optional<PictureFormat> picture_format_for_path(const std::string& path);

// The file's bytes. PNG: the first frame, 8-bit RGBA, transparent pixels of
// alpha 0. GIF: every frame for the picture's delay, each replacing the one
// before, the transparent index transparent, looping for ever. Fails only
// when the system's library does ("Cannot write the picture !"), or cannot
// store what an animation needs.
Failure encode_picture(const IconPicture& picture, PictureFormat format, std::vector<uint8_t>& bytes);

// The icon of the save in `slot` at `side` pixels, written to `path` in
// `format`; the file is replaced only once the picture is whole.
Failure write_icon_picture(const CardImage& card, const SlotTable& slots, int slot, int side,
                           PictureFormat format, const std::string& path);
