// Renaming a save: the name a game looks its saves up by ("BESLES-01234GAME01":
// 'B', the region letter, the product code, the game's own 8 characters).
// Owners change it to move a save between regions or between a game's
// releases (a European save for the American disc, a demo's for the full
// game); the game finds the save only if the new name is the one it looks for.
#pragma once

#include <optional>
#include <string>

#include "card/analysis.h"
#include "card/card_image.h"
#include "card/failure.h"
#include "card/save_name.h"

inline const char kRenamedSaveNote[] =
    "A game finds a renamed save only if the new name is the one it looks for.";

// Why `name` cannot be the name of the save in `first`, or nothing: longer
// than the directory's 20 characters, empty, not printable ASCII, or held by
// another save of the card (a game would find only one of the two).
Failure check_new_name(const CardImage& card, const SlotTable& slots, int first, const std::string& name);

// Writes `name` into the directory frame of the save whose first block is
// `first`, and into its further frames where they carry the name too (this
// program's imports copy it there; a console leaves them zero, and zero
// stays zero), each changed frame's checksum made anew. The save's blocks
// are not touched. On failure the card is left as it was.
Failure rename_save(CardImage& card, const SlotTable& slots, int first, const std::string& name);

// The name with its region letters ("BA" America, "BE" Europe, "BI" Japan)
// those of `region`; nothing for a name that has no region letters to change.
std::optional<std::string> name_in_region(const std::string& name, Region region);
