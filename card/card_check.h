// A read-only check of a card image: every fault of its header, directory,
// chains and list of broken frames, and the sign of a fake card that holds
// half what it claims. It repairs nothing: a card made "corrupted" on
// purpose is written as it is.
#pragma once

#include <string>
#include <vector>

#include "card/card_image.h"

struct CardFault {
  std::string name;         // stable, for scripts: "bad-directory-checksum", ...
  std::vector<int> frames;  // the frames it concerns, ascending
  std::string meaning;      // what it means for the saves; slots counted from 1
};

// Empty when the card is sound. Faults come in the order of the card:
// header, directory frames, chains, broken frames, the halves.
std::vector<CardFault> check_card(const CardImage& card);

// True when the card's second 64 KB answer the same bytes as its first: it
// is then a fake card holding 64 KB, whose frames F and F + 512 are one. Only
// the first `frames_per_block` frames of each block are compared (a fast
// read takes 4). A formatted card cannot be taken for a fake: block 0 holds
// "MC" and the directory, block 8 holds save data, and they are equal only
// when they are one block. An unformatted card (all zeroes, all 0xFF) could
// be either, so it is never called a fake.
bool halves_mirror(const CardImage& card, int frames_per_block = kFramesPerBlock);

// What a mirrored card means, for a warning.
extern const char kHalvesMirrorMeaning[];

// Ascending frames in words: "frame 3", "frames 5, 6", "frames 0..63, 512".
std::string frames_in_words(const std::vector<int>& frames);

// The report the window and the page show: "The card is sound.", or "2
// faults found:" and a paragraph a fault, its frames then its meaning, the
// lines ending in `line_end`.
std::string check_report(const std::vector<CardFault>& faults, const char* line_end = "\n");
