// Deleted saves and their restoration. Deleting flips only the state bytes
// (0x51, 0x52, 0x53 to 0xA1, 0xA2, 0xA3) and keeps the data, the size, the
// name and the links, so a deleted save can be restored whole until another
// save takes one of its blocks.
#pragma once

#include <string>
#include <vector>

#include "card/card_image.h"
#include "card/failure.h"

struct DeletedSave {
  int first = -1;          // its deleted first block (0xA1), or a lone deleted further block
  std::vector<int> slots;  // its blocks in chain order, as far as they are still its own
  bool has_first = true;   // false for a further block no deleted first block reaches
  std::string why_not;     // empty when it can be restored; otherwise the reason
};

// Each deleted first block with its chain, in slot order, then each
// deleted further block (0xA2, 0xA3) that no deleted first block reaches.
// A save can be restored when its frames are good, its chain runs from
// 0xA1 over 0xA2 blocks to one 0xA3 block (or the first block alone) as its
// size field says, and no other save, live or deleted, holds or links to
// one of its blocks.
std::vector<DeletedSave> deleted_saves(const CardImage& card);

// The slot's directory frame is the first block of a deleted save (0xA1),
// which undelete_save may bring back.
bool is_deleted_first_block(const CardImage& card, int slot);

// Restores the deleted save whose first block is in `slot`: its states go
// back to 0x51, 0x52, 0x53, with their checksums; nothing else changes.
// Otherwise the card stays as it was: "Cannot undelete slot N: <reason>."
Failure undelete_save(CardImage& card, int slot);
