// The texts the slot view shows for a selected save, built from the card.
#pragma once

#include <string>

#include "card/card_image.h"

// Texts are held in a 64-byte buffer by the window: 63 characters at most.
constexpr size_t kInfoLineMax = 63;

// "1 Block, America, SLUS-00001 : DEMO" from the save's block count and the
// name in its directory frame. Zero bytes among the name characters end the
// line there; the name is never read past byte 29 of the frame.
std::string info_line(const CardImage& card, int slot, int blocks);
// The same for a save's directory frame wherever it is.
std::string info_line(const uint8_t* directory, int blocks);

// The region the name's second letter stands for: "Europe" (E), "America"
// (A), otherwise "Japan".
const char* region_name(char letter);

// "1 block", "3 blocks".
std::string blocks_text(int blocks);

// The group-box caption: the save file name.
std::string name_caption(const CardImage& card, int slot);

// The Shift-JIS title bytes: up to the first zero byte, at most 64 bytes.
std::string title_bytes(const CardImage& card, int slot);
// The same from a save header.
std::string title_bytes(const uint8_t* save_header);
