// Save icons: 16x16 pixels at 4 bits each with a 16-colour table of 15-bit
// colours, shown doubled as a 32x32 24-bit top-down image (blue, green, red).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

constexpr int kIconSide = 32;
constexpr size_t kIconRowBytes = kIconSide * 3;
constexpr size_t kIconBytes = kIconRowBytes * kIconSide;  // 3072
constexpr size_t kIconFrameBytes = 128;    // 16 rows of 8 bytes
constexpr size_t kColourTableBytes = 32;   // 16 little-endian 16-bit colours

using IconImage = std::array<uint8_t, kIconBytes>;

// The pace at which a save's icon frames follow each other, in the window
// and in the animated pictures written of it.
constexpr int kIconFramePeriodMs = 500;

// A 15-bit colour as blue, green, red bytes: each 5-bit channel shifted
// left by three; bit 15 has no effect.
void convert_colour(uint16_t colour, uint8_t* bgr);
// Entry `index` of a 32-byte colour table.
uint16_t table_colour(const uint8_t* colours, int index);

// pixels: 128 bytes, low nibble = left pixel; colours: 32 bytes.
void decode_icon(const uint8_t* pixels, const uint8_t* colours, IconImage& out);

// The striped frame shown for empty (white) and corrupted (red) slots; the
// white one is also the blank icon of the large box.
const IconImage& white_placeholder();
const IconImage& red_placeholder();
// What a save whose header announces no icon frame shows: all black.
const IconImage& black_icon();
