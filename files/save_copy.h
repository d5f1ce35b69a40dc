// Copying a save from the card in hand into another card, or into a card
// file: what "copy" does on the command line and "Copy Save to Card
// File..." in the window.
#pragma once

#include <string>

#include "card/analysis.h"
#include "card/card_image.h"
#include "card/failure.h"
#include "files/card_formats.h"
#include "files/save_file.h"

// The first block of the save called `name` on an analysed card; -1 when
// none is. A game finds only one save of a name on a card.
int slot_named(const CardImage& card, const SlotTable& slots, const std::string& name);
// The first block of the save on the card that is `save` byte for byte: its
// name and its blocks; -1 when none is.
int slot_holding(const CardImage& card, const SlotTable& slots, const SaveImport& save);

struct CopiedSave {
  int first = -1;  // the slot of the copy's first block
  int blocks = 0;
  std::string backup_path;  // where a card file's old contents were kept
};

// A save taken from a card (take_save of save_file.h), placed into `target`
// as an import places it (its free blocks in slot order) with its GME
// comment. `target_used` is the target's used-block count; `first`
// receives the slot of the copy's first block. On failure the target is
// left as it was.
Failure place_copy(const SaveImport& save, const std::string& comment, CardImage& target,
                   CardFileInfo& target_file, int target_used, int& first);

// The save whose first block is in `slot` of `source`, copied into the
// card file at `path`, of any format: the file's card is kept with the
// backups, then the file is written back in its own format (a VMP signed
// again, a GME keeping its comments). On failure the file is left as it was.
Failure copy_save_to_card_file(const CardImage& source, const CardFileInfo& source_file, int slot,
                               const std::string& path, CopiedSave& copied);
