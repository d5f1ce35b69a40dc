#include "card/icon.h"

#include <cstring>

void convert_colour(uint16_t colour, uint8_t* bgr) {
  bgr[0] = uint8_t(((colour >> 10) & 31) << 3);
  bgr[1] = uint8_t(((colour >> 5) & 31) << 3);
  bgr[2] = uint8_t((colour & 31) << 3);
}

uint16_t table_colour(const uint8_t* colours, int index) {
  return uint16_t(colours[2 * index] | colours[2 * index + 1] << 8);
}

namespace {

const char* const kPlaceholderRows[16] = {
    "################", "#..#...#...#...#", "#.#...#...#...##", "##...#...#...#.#",
    "#...#...#...#..#", "#..#...#...#...#", "#.#...#...#...##", "##...#...#...#.#",
    "#...#...#...#..#", "#..#...#...#...#", "#.#...#...#...##", "##...#...#...#.#",
    "#...#...#...#..#", "#..#...#...#...#", "#.#...#...#...##", "################",
};

IconImage make_placeholder(uint16_t foreground) {
  uint8_t pixels[kIconFrameBytes] = {};
  for (int row = 0; row < 16; ++row)
    for (int column = 0; column < 16; ++column)
      if (kPlaceholderRows[row][column] == '#')
        pixels[row * 8 + column / 2] |= uint8_t(column % 2 ? 0x10 : 0x01);
  // Entry 0 is 0x8000: bit 15 set, which the conversion ignores, so black.
  uint8_t colours[kColourTableBytes] = {0x00, 0x80, uint8_t(foreground), uint8_t(foreground >> 8)};
  IconImage image;
  decode_icon(pixels, colours, image);
  return image;
}

}  // namespace

void decode_icon(const uint8_t* pixels, const uint8_t* colours, IconImage& out) {
  uint8_t palette[16][3];
  for (int i = 0; i < 16; ++i) convert_colour(table_colour(colours, i), palette[i]);
  for (int row = 0; row < 16; ++row) {
    uint8_t* even = out.data() + (2 * row) * kIconRowBytes;
    uint8_t* pixel = even;
    for (int x = 0; x < 8; ++x) {
      const uint8_t byte = pixels[row * 8 + x];
      for (int index : {byte & 0x0F, byte >> 4})
        for (int twice = 0; twice < 2; ++twice, pixel += 3) std::memcpy(pixel, palette[index], 3);
    }
    std::memcpy(even + kIconRowBytes, even, kIconRowBytes);
  }
}

const IconImage& white_placeholder() {
  static const IconImage image = make_placeholder(0x7FFF);
  return image;
}

const IconImage& red_placeholder() {
  static const IconImage image = make_placeholder(0x001F);
  return image;
}

const IconImage& black_icon() {
  static const IconImage image{};
  return image;
}
