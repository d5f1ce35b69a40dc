#include "adaptor/emulator/demo_card.h"

#include <cstring>
#include <string>
#include <vector>

#include "card/editing.h"

namespace {

constexpr int kPictureSide = 16;
constexpr int kPictureRowBytes = 8;

uint16_t colour(int red, int green, int blue) { return uint16_t(red | green << 5 | blue << 10); }

// Two pixels a byte, the left one in the low nibble.
void set_pixel(uint8_t* icon, int x, int y, int index) {
  uint8_t& pair = icon[y * kPictureRowBytes + x / 2];
  pair = x % 2 ? uint8_t((pair & 0x0F) | index << 4) : uint8_t((pair & 0xF0) | index);
}

// Games store their titles in full-width Shift-JIS characters.
std::string full_width(const char* ascii) {
  std::string sjis;
  for (const char* c = ascii; *c; ++c) {
    int code = 0x8140;  // ideographic space
    if (*c >= 'A' && *c <= 'Z') code = 0x8260 + (*c - 'A');
    if (*c >= 'a' && *c <= 'z') code = 0x8281 + (*c - 'a');
    if (*c >= '0' && *c <= '9') code = 0x824F + (*c - '0');
    sjis += char(code >> 8);
    sjis += char(code & 0xFF);
  }
  return sjis;
}

enum class Picture { ball, waves, star, tiles };

// Palette index of pixel (x, y) in icon frame `step`.
int paint(Picture picture, int step, int x, int y) {
  switch (picture) {
    case Picture::ball: {  // bounces: high, middle, low
      const int dx = x - 8, dy = y - (4 + 4 * step);
      return dx * dx + dy * dy <= 12 ? 2 : (y == 15 ? 3 : 1);
    }
    case Picture::waves: {  // the crest moves right by two pixels a frame
      static const int kWave[8] = {0, 1, 2, 1, 0, -1, -2, -1};
      return y > 8 + kWave[(x + 8 - 2 * step) % 8] ? 4 : 1;
    }
    case Picture::star: {  // twinkles: small, large, small
      const int reach = step == 1 ? 7 : 4;
      const int dx = x > 7 ? x - 8 : 7 - x, dy = y > 7 ? y - 8 : 7 - y;
      return dx + dy <= reach || (step == 1 && (dx == 0 || dy == 0)) ? 5 : 1;
    }
    case Picture::tiles:
      return ((x / 4) + (y / 4)) % 2 ? 6 : 7;
  }
  return 0;
}

struct DemoSave {
  const char* name;
  const char* title;
  int blocks;
  int icon_frames;
  Picture picture;
};

constexpr DemoSave kSaves[] = {
    {"BASLUS-00001QUILL", "QUILLCREST DEMO", 1, 3, Picture::ball},
    {"BESLES-00002RIVER", "River Crossing 2", 2, 3, Picture::waves},
    {"BISLPS-00003STAR", "STAR GAZER", 1, 3, Picture::star},
    {"BASCUS-00004TILES", "Tile Puzzle 16", 3, 1, Picture::tiles},
};

std::vector<uint8_t> save_data(const DemoSave& save, uint32_t seed) {
  std::vector<uint8_t> data(save.blocks * kBlockSize);
  // Game data: anything that differs from frame to frame.
  for (uint8_t& byte : data) {
    seed = seed * 1103515245u + 12345u;
    byte = uint8_t(seed >> 16);
  }
  uint8_t* header = data.data();
  std::memset(header, 0, (1 + kMaxIconFrames) * kFrameSize);
  header[0] = 'S';
  header[1] = 'C';
  header[kHeaderIconFlag] = uint8_t(0x10 | save.icon_frames);
  header[kHeaderBlocks] = uint8_t(save.blocks);
  const std::string title = full_width(save.title);
  std::memcpy(header + kHeaderTitle, title.data(), std::min(title.size(), kTitleSize));
  const uint16_t palette[8] = {0,
                               colour(2, 4, 12),    // 1 night sky
                               colour(31, 26, 4),   // 2 ball
                               colour(8, 20, 6),    // 3 grass
                               colour(4, 14, 28),   // 4 water
                               colour(31, 31, 20),  // 5 star
                               colour(28, 8, 8),    // 6 red tile
                               colour(30, 30, 30)}; // 7 white tile
  for (int i = 0; i < 8; ++i) {
    header[kHeaderColours + 2 * i] = uint8_t(palette[i]);
    header[kHeaderColours + 2 * i + 1] = uint8_t(palette[i] >> 8);
  }
  for (int step = 0; step < save.icon_frames; ++step) {
    uint8_t* icon = header + (1 + step) * kFrameSize;
    for (int y = 0; y < kPictureSide; ++y)
      for (int x = 0; x < kPictureSide; ++x) set_pixel(icon, x, y, paint(save.picture, step, x, y));
  }
  return data;
}

}  // namespace

CardImage demo_card() {
  CardImage card;
  format_card(card);
  uint32_t seed = 1;
  for (const DemoSave& save : kSaves) {
    uint8_t entry[kFrameSize] = {};
    entry[kDirState] = kStateFirst;
    write_le32(entry + kDirSize, uint32_t(save.blocks * kBlockSize));
    std::memcpy(entry + kDirName, save.name, std::strlen(save.name));
    const std::vector<uint8_t> data = save_data(save, seed++);
    place_save(card, entry, data.data(), data.size());
  }
  return card;
}
