#include "card/icon_picture.h"

namespace {

// The GPU draws a texel of colour 0x0000 not at all; 0x8000, the same black
// with the semi-transparency bit, is drawn as black.
constexpr uint16_t kTransparentColour = 0x0000;

PictureColour picture_colour(uint16_t colour) {
  uint8_t bgr[3];
  convert_colour(colour, bgr);
  return PictureColour{bgr[2], bgr[1], bgr[0], uint8_t(colour == kTransparentColour ? 0 : 255)};
}

// The icon frame's 4-bit pixel at (x, y) of 16 x 16, low nibble on the left.
uint8_t icon_pixel(const uint8_t* icon_frame, int x, int y) {
  const uint8_t byte = icon_frame[y * 8 + x / 2];
  return x % 2 ? byte >> 4 : byte & 0x0F;
}

}  // namespace

bool is_picture_side(int side) {
  for (int allowed : kPictureSides)
    if (side == allowed) return true;
  return false;
}

Failure check_icon_save(const SlotTable& slots, int slot) {
  if (slot < 0 || slots.status[slot] == kSlotCorrupted) return fail("Corrupted Block !", "Cannot Export");
  if (slots.status[slot] == kSlotEmpty) return fail("Empty Block !", "Cannot Export");
  return std::nullopt;
}

Failure make_icon_picture(const CardImage& card, const SlotTable& slots, int slot, int side,
                          IconPicture& picture) {
  slot = selected_save(slots, slot);
  if (Failure failure = check_icon_save(slots, slot)) return failure;
  if (!is_picture_side(side)) return fail("An icon picture is 16, 32, 64 or 128 pixels wide.");
  const SaveHeader header{data_block(card, slot)};
  picture = IconPicture{};
  picture.side = side;
  const int frames = header.icon_frames();
  if (frames == 0) {
    picture.palette[0] = PictureColour{0, 0, 0, 255};
    picture.frames.assign(1, std::vector<uint8_t>(size_t(side * side), 0));
    return std::nullopt;
  }
  for (int i = 0; i < kPaletteSize; ++i) {
    picture.palette[i] = picture_colour(table_colour(header.colours(), i));
    if (picture.palette[i].alpha == 0 && picture.transparent_index < 0) picture.transparent_index = i;
  }
  const int scale = side / kIconPixels;
  for (int k = 0; k < frames; ++k) {
    const uint8_t* icon_frame = header.bytes + (k + 1) * kFrameSize;
    std::vector<uint8_t> pixels(size_t(side * side));
    for (int y = 0; y < side; ++y)
      for (int x = 0; x < side; ++x) {
        const uint8_t index = icon_pixel(icon_frame, x / scale, y / scale);
        pixels[size_t(y * side + x)] =
            picture.palette[index].alpha == 0 ? uint8_t(picture.transparent_index) : index;
      }
    picture.frames.push_back(std::move(pixels));
  }
  return std::nullopt;
}

std::vector<uint8_t> first_frame_rgba(const IconPicture& picture) {
  const size_t pixels = size_t(picture.side) * size_t(picture.side);
  std::vector<uint8_t> rgba(pixels * 4);
  for (size_t i = 0; i < pixels; ++i) {
    const PictureColour& colour = picture.palette[picture.frames[0][i]];
    uint8_t* pixel = rgba.data() + 4 * i;
    pixel[0] = colour.red;
    pixel[1] = colour.green;
    pixel[2] = colour.blue;
    pixel[3] = colour.alpha;
  }
  return rgba;
}
