// Builds the card images and save files every test uses, byte by byte from
// the card's layout, independently of the code under test.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "card/card_image.h"

using Bytes = std::vector<uint8_t>;

// Colours the maker gives icon frames 0, 1, 2 (15-bit: red, green, blue).
constexpr uint16_t kFrameColour[3] = {0x001F, 0x03E0, 0x7C00};

struct SaveSpec {
  std::string name = "BASLUS-00001DEMO";
  std::string title = "DEMO";  // Shift-JIS bytes
  int blocks = 1;
  int icon_frames = 1;  // 0..3
  // Colour table index that fills icon frame k; entries 1..3 hold
  // kFrameColour, so by default frame k is one plain colour.
  uint8_t frame_index[3] = {1, 2, 3};
  uint16_t colours[16] = {0x0000, kFrameColour[0], kFrameColour[1], kFrameColour[2]};
  uint8_t seed = 1;  // data bytes of block n are (seed + n), header and icons aside
};

// A freshly formatted card.
CardImage blank_card();

// The save's blocks: header, icon frames, then filler bytes.
Bytes save_blocks(const SaveSpec& save);

// A directory frame describing the save's first block, with a good checksum.
Bytes directory_entry(const SaveSpec& save, uint8_t state, uint8_t next);

// Writes the save into the given slots, chained in that order.
void put_save(CardImage& card, const SaveSpec& save, const std::vector<int>& slots);
// Into the lowest never-used slots; returns the first slot.
int add_save(CardImage& card, const SaveSpec& save);

// Faults, each keeping the frame's checksum good unless it is the fault.
void break_checksum(CardImage& card, int frame_number);
void set_link(CardImage& card, int slot, uint8_t link);
void set_state(CardImage& card, int slot, uint8_t state);
void fix_checksum(CardImage& card, int frame_number);

// Files.
Bytes card_bytes(const CardImage& card);
Bytes gme_file(const CardImage& card);  // 3904-byte header, then the image
// A GME file's comment for slot i (block i + 1), up to 255 bytes.
void set_gme_comment(Bytes& gme, int slot, const std::string& text);
Bytes vgs_file(const CardImage& card);       // 64-byte "VgsM" header
Bytes magazine_file(const CardImage& card);  // 256-byte "PSV" header
// The 128-byte PSP/Vita header with the seed bytes seed_first, seed_first+1,
// ... and a zero signature (tests sign it with the openssl tool).
Bytes vmp_file(const CardImage& card, uint8_t seed_first = 0);
Bytes mcs_file(const SaveSpec& save);
Bytes raw_save_file(const SaveSpec& save);
Bytes psx_file(const SaveSpec& save);  // 54-byte header: name, title
// The PS3's 0x84-byte header, the seed as for vmp_file, a zero signature.
Bytes psv_file(const SaveSpec& save, uint8_t seed_first = 0);
void write_file(const std::string& path, const Bytes& bytes);
Bytes read_file(const std::string& path);
