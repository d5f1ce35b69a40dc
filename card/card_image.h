// The in-memory image of a PS1 memory card and the views over its frames.
//
// The card is 1024 frames of 128 bytes (the unit the adaptor transfers), grouped
// into 16 blocks of 8192 bytes. Block 0 is the directory: frame 0 is the card
// header, frames 1..15 describe slots 0..14, whose data lives in blocks 1..15.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

constexpr size_t kFrameSize = 128;
constexpr int kFrameCount = 1024;
constexpr size_t kBlockSize = 8192;
constexpr int kBlockCount = 16;
constexpr int kFramesPerBlock = 64;
constexpr size_t kCardSize = kFrameSize * kFrameCount;  // 131072
constexpr int kSlotCount = 15;

// Frame 0: "MC" then zeroes on a fresh card, checksum in the last byte.
constexpr uint8_t kCardMagic0 = 'M';
constexpr uint8_t kCardMagic1 = 'C';
// Frames 16..35 of block 0 are a reserved list the system carries but never reads.
constexpr int kFirstReservedFrame = 16;
constexpr int kReservedFrameCount = 20;

// Directory frame layout.
constexpr size_t kDirState = 0;
constexpr size_t kDirSize = 4;      // 32-bit little-endian byte count of the save
constexpr size_t kDirNext = 8;      // slot of the next block, 0xFF ends the chain
constexpr size_t kDirName = 10;
constexpr size_t kSaveNameMax = 20;  // name occupies bytes 10..29
constexpr size_t kChecksumByte = 127;

constexpr uint8_t kEndOfChain = 0xFF;
constexpr uint8_t kStateFirst = 0x51;
constexpr uint8_t kStateMiddle = 0x52;
constexpr uint8_t kStateLast = 0x53;
constexpr uint8_t kStateNeverUsed = 0xA0;
constexpr uint8_t kInUseNibble = 0x50;
constexpr uint8_t kFreeNibble = 0xA0;

// Save header layout (first frame of a save's first block).
constexpr size_t kHeaderIconFlag = 2;
constexpr size_t kHeaderBlocks = 3;
constexpr size_t kHeaderTitle = 4;
constexpr size_t kTitleSize = 64;
constexpr size_t kHeaderColours = 96;
constexpr int kMaxIconFrames = 3;

struct CardImage {
  std::array<uint8_t, kCardSize> bytes{};
};

uint8_t* frame(CardImage& card, int number);
const uint8_t* frame(const CardImage& card, int number);
uint8_t* block(CardImage& card, int number);
const uint8_t* block(const CardImage& card, int number);
// Slot i is described by directory frame i + 1 and owns data block i + 1.
uint8_t* directory_frame(CardImage& card, int slot);
const uint8_t* directory_frame(const CardImage& card, int slot);
uint8_t* data_block(CardImage& card, int slot);
const uint8_t* data_block(const CardImage& card, int slot);

// XOR of bytes 0..126 of a frame; a frame is bad when byte 127 differs.
uint8_t frame_checksum(const uint8_t* frame);
bool frame_is_bad(const uint8_t* frame);
void store_checksum(uint8_t* frame);

// True when the image starts with "MC"; clearing byte 0 unloads it.
bool is_loaded(const CardImage& card);

uint32_t read_le32(const uint8_t* bytes);
void write_le32(uint8_t* bytes, uint32_t value);

// Read-only view of a 128-byte directory frame (also the head of an MCS file).
struct DirectoryFrame {
  const uint8_t* bytes;

  uint8_t state() const { return bytes[kDirState]; }
  bool in_use() const { return (state() & 0xF0) == kInUseNibble; }
  bool is_free() const { return (state() & 0xF0) == kFreeNibble; }
  uint8_t next() const { return bytes[kDirNext]; }
  uint32_t size() const { return read_le32(bytes + kDirSize); }
  // Block count as the analysis reads it: from size bytes 5 and 6 only.
  int size_block_count() const { return ((bytes[5] << 8) | (bytes[6] << 16)) >> 13; }
  // The name up to its first zero byte, never past byte 29.
  std::string name() const;
};

// Read-only view of a save header.
struct SaveHeader {
  const uint8_t* bytes;

  bool has_magic() const { return bytes[0] == 'S' && bytes[1] == 'C'; }
  bool flag_well_formed() const { return (bytes[kHeaderIconFlag] & 0xFC) == 0x10; }
  int icon_frames() const { return bytes[kHeaderIconFlag] & 3; }
  uint8_t block_count() const { return bytes[kHeaderBlocks]; }
  const uint8_t* title() const { return bytes + kHeaderTitle; }
  const uint8_t* colours() const { return bytes + kHeaderColours; }
};
