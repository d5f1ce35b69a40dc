// Analysis of a card image into its fifteen slots.
#pragma once

#include "card/card_image.h"
#include "card/failure.h"
#include "card/icon.h"

// Slot status: > 0 first block of a save (its block count), or one of these.
constexpr int kSlotEmpty = 0;
constexpr int kSlotCorrupted = -1;
constexpr int kSlotFurtherBlock = -2;  // a middle or last block; see owner

struct SlotIcons {
  int count = 0;  // 1..3 once analysed
  IconImage frames[kMaxIconFrames];
};

struct SlotTable {
  int status[kSlotCount] = {};
  int owner[kSlotCount] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
  int used = 0;  // slots whose status is > 0 or -2
  SlotIcons icons[kSlotCount];
};

inline const char* const kWrongCardFormat = "Wrong Memory Card format.";

// Rebuilds the table from the card. An image without "MC" or with a bad
// header frame gets byte 0 cleared (so it no longer counts as loaded) and
// the previous table is left untouched.
Failure analyse_card(CardImage& card, SlotTable& table, bool allow_corrupted);
// The same, analysing a copy: the card is left byte for byte even when it
// is refused, for cards that are looked at but not (yet) shown.
Failure analyse_card_copy(const CardImage& card, SlotTable& table, bool allow_corrupted);

// A card that begins with "MC" but whose header frame's checksum is wrong:
// analyse_card refuses it, as the window must, although its directory may
// well be sound (some emulators write a wrong header checksum).
bool header_checksum_wrong(const CardImage& card);
// The analysis of any card as if its header frame's checksum were right;
// the card itself is left as it is, byte for byte.
Failure analyse_card_despite_header_checksum(const CardImage& card, SlotTable& table,
                                             bool allow_corrupted);

// The first block's save header says "SC", has a well-formed icon flag and
// the block count of the directory frame's size field (bytes 5 and 6).
bool save_header_well_formed(const CardImage& card, int slot);

// Classifies slot i in the ascending pass of analyse_card; writes owner
// entries and the slot's icons as it goes.
int classify_slot(const CardImage& card, int slot, SlotTable& table, bool allow_corrupted);

// The slot whose icon slot i shows: itself, or for a further block its
// owner; -1 when there is none.
int icon_source(const SlotTable& table, int slot);

// The save a click on slot i selects: slot i itself, or for a further block
// the first block of its save; -1 when a further block has no first block.
int selected_save(const SlotTable& table, int slot);
