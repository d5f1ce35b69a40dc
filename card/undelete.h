// Deleted saves and their restoration. Deleting flips only the state bytes
// (0x51, 0x52, 0x53 to 0xA1, 0xA2, 0xA3) and keeps the data, the size, the
// name and the links, so a deleted save can be restored whole until another
// save takes one of its blocks. Some programs (DuckStation) also set every
// link of a deleted save to 0xFFFF; its further blocks are then found by
// their place on the card, where that leaves no doubt.
#pragma once

#include <string>
#include <vector>

#include "card/card_image.h"
#include "card/failure.h"

struct DeletedSave {
  int first = -1;          // its deleted first block (0xA1), or a lone deleted further block
  std::vector<int> slots;  // its blocks in chain order, as far as they are still its own
  bool has_first = true;   // false for a further block no deleted first block reaches
  // Its links were cleared: `slots` are the blocks it must have had, and a
  // restore links them again.
  bool links_rebuilt = false;
  std::string why_not;     // empty when it can be restored; otherwise the reason
};

// Each deleted first block with its chain, in slot order, then each
// deleted further block (0xA2, 0xA3) that no deleted first block reaches.
// A save can be restored when its frames are good, its chain runs from
// 0xA1 over 0xA2 blocks to one 0xA3 block (or the first block alone) as its
// size field says, and no other save, live or deleted, holds or links to
// one of its blocks.
// A first block whose link was cleared although its size field says N > 1
// blocks gets the N - 1 deleted further blocks that follow it in slot order
// (as programs place a save, in ascending free blocks) when they are N - 2
// 0xA2 blocks and then an 0xA3 block, all with cleared links, good frames
// and no frame linking to them, its save header says N blocks, and no
// other deleted save could claim one of them: otherwise it is refused.
std::vector<DeletedSave> deleted_saves(const CardImage& card);

// The slot's directory frame is the first block of a deleted save (0xA1),
// which undelete_save may bring back.
bool is_deleted_first_block(const CardImage& card, int slot);

// Restores the deleted save whose first block is in `slot`: its states go
// back to 0x51, 0x52, 0x53, rebuilt links (byte 8 the next slot, byte 9
// zero) where they were cleared, with their checksums; nothing else
// changes. Otherwise the card stays as it was: "Cannot undelete slot N:
// <reason>." `restored`, when given, receives the save restored.
Failure undelete_save(CardImage& card, int slot, DeletedSave* restored = nullptr);
