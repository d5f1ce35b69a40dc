#include <gtest/gtest.h>

#include <cstring>

#include "card/icon.h"

namespace {

struct Rgb {
  int r, g, b;
  bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

Rgb pixel(const IconImage& image, int x, int y) {
  const uint8_t* p = image.data() + y * kIconRowBytes + x * 3;
  return {p[2], p[1], p[0]};
}

void set_colour(uint8_t* table, int index, uint16_t colour) {
  table[2 * index] = uint8_t(colour);
  table[2 * index + 1] = uint8_t(colour >> 8);
}

TEST(DecodeIcon, NibblesGiveTwoPixelsLowFirstAndRowsAreDoubled) {
  uint8_t pixels[128] = {};
  pixels[0] = 0x21;        // row 0: colour 1 then colour 2
  pixels[8 * 5 + 7] = 0x3F;  // row 5, last byte: colour 15 then colour 3
  uint8_t colours[32] = {};
  set_colour(colours, 1, 0x001F);
  set_colour(colours, 2, 0x03E0);
  set_colour(colours, 3, 0x7C00);
  set_colour(colours, 15, 0x7FFF);
  IconImage image;
  image.fill(0xCD);
  decode_icon(pixels, colours, image);

  const Rgb red{248, 0, 0}, green{0, 248, 0}, blue{0, 0, 248}, white{248, 248, 248};
  EXPECT_EQ(pixel(image, 0, 0), red);
  EXPECT_EQ(pixel(image, 1, 0), red);
  EXPECT_EQ(pixel(image, 2, 0), green);
  EXPECT_EQ(pixel(image, 3, 0), green);
  EXPECT_EQ(pixel(image, 4, 0), (Rgb{0, 0, 0}));
  EXPECT_EQ(pixel(image, 28, 10), white);
  EXPECT_EQ(pixel(image, 29, 11), white);
  EXPECT_EQ(pixel(image, 30, 10), blue);
  EXPECT_EQ(pixel(image, 31, 11), blue);
  for (int row = 0; row < 32; row += 2)
    EXPECT_EQ(0, std::memcmp(image.data() + row * kIconRowBytes,
                             image.data() + (row + 1) * kIconRowBytes, kIconRowBytes))
        << "row " << row;
}

TEST(DecodeIcon, ColourConversionShiftsFiveBitsAndIgnoresBit15) {
  uint8_t pixels[128] = {};
  std::memset(pixels, 0x10, 8);  // row 0: colour 0, colour 1 alternating
  std::memset(pixels + 8, 0x32, 8);
  uint8_t colours[32] = {};
  set_colour(colours, 0, 0x8000);
  set_colour(colours, 1, 0xFFFF);
  set_colour(colours, 2, 0x4210);  // 16 in every channel
  set_colour(colours, 3, 0x0421);  // 1 in every channel
  IconImage image;
  decode_icon(pixels, colours, image);
  EXPECT_EQ(pixel(image, 0, 0), (Rgb{0, 0, 0}));
  EXPECT_EQ(pixel(image, 2, 0), (Rgb{248, 248, 248}));
  EXPECT_EQ(pixel(image, 0, 2), (Rgb{128, 128, 128}));
  EXPECT_EQ(pixel(image, 2, 2), (Rgb{8, 8, 8}));
}

TEST(Placeholders, FollowTheStripedPatternInTheirColours) {
  const char* rows[16] = {
      "################", "#..#...#...#...#", "#.#...#...#...##", "##...#...#...#.#",
      "#...#...#...#..#", "#..#...#...#...#", "#.#...#...#...##", "##...#...#...#.#",
      "#...#...#...#..#", "#..#...#...#...#", "#.#...#...#...##", "##...#...#...#.#",
      "#...#...#...#..#", "#..#...#...#...#", "#.#...#...#...##", "################",
  };
  const Rgb black{0, 0, 0};
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      const bool on = rows[y / 2][x / 2] == '#';
      const Rgb white = on ? Rgb{248, 248, 248} : black;
      const Rgb red = on ? Rgb{248, 0, 0} : black;
      ASSERT_EQ(pixel(white_placeholder(), x, y), white) << x << "," << y;
      ASSERT_EQ(pixel(red_placeholder(), x, y), red) << x << "," << y;
    }
}

}  // namespace
