#include "card/card_image.h"

#include <cstring>

uint8_t* frame(CardImage& card, int number) { return card.bytes.data() + number * kFrameSize; }
const uint8_t* frame(const CardImage& card, int number) {
  return card.bytes.data() + number * kFrameSize;
}
uint8_t* block(CardImage& card, int number) { return card.bytes.data() + number * kBlockSize; }
const uint8_t* block(const CardImage& card, int number) {
  return card.bytes.data() + number * kBlockSize;
}
uint8_t* directory_frame(CardImage& card, int slot) { return frame(card, slot + 1); }
const uint8_t* directory_frame(const CardImage& card, int slot) { return frame(card, slot + 1); }
uint8_t* data_block(CardImage& card, int slot) { return block(card, slot + 1); }
const uint8_t* data_block(const CardImage& card, int slot) { return block(card, slot + 1); }

uint8_t frame_checksum(const uint8_t* frame) {
  uint8_t sum = 0;
  for (size_t i = 0; i < kChecksumByte; ++i) sum ^= frame[i];
  return sum;
}

bool frame_is_bad(const uint8_t* frame) { return frame[kChecksumByte] != frame_checksum(frame); }

void store_checksum(uint8_t* frame) { frame[kChecksumByte] = frame_checksum(frame); }

bool is_loaded(const CardImage& card) {
  return card.bytes[0] == kCardMagic0 && card.bytes[1] == kCardMagic1;
}

uint32_t read_le32(const uint8_t* b) {
  return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

void write_le32(uint8_t* b, uint32_t value) {
  for (int i = 0; i < 4; ++i) b[i] = uint8_t(value >> (8 * i));
}

std::string DirectoryFrame::name() const {
  const char* start = reinterpret_cast<const char*>(bytes + kDirName);
  const void* end = std::memchr(start, 0, kSaveNameMax);
  return std::string(start, end ? static_cast<const char*>(end) - start : kSaveNameMax);
}
