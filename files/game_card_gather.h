// Gathering the saves of per-game cards (card_library.h) back onto one card,
// for a console's own memory card: the way back from a split. A save is
// taken once, whatever the number of cards holding it; a save with versions
// that differ is taken from the channel the user names, and every save that
// is not taken is reported with the reason.
#pragma once

#include <string>
#include <vector>

#include "card/card_image.h"
#include "card/failure.h"
#include "files/card_library.h"

struct GatherOptions {
  std::vector<std::string> games;  // game IDs as normalised_game_id gives them; none: every game
  int channel = 1;                 // the channel whose version of a save is taken
};

enum class GatherOutcome {
  added,          // placed on the target, in `target_slot`
  already_there,  // the target holds it byte for byte
  copy,           // the same save as one taken (or already there) from another card
  other_version,  // a version of another channel was taken instead
  undecided,      // versions differ and the chosen channel holds none, or two
  name_taken,     // the target holds another save of this name
  did_not_fit,    // too few free blocks left on the target
  unreadable,     // its chain of blocks cannot be followed
};

struct GatherEntry {
  std::string path;  // the card file it is on
  int channel = 0;   // its card's channel, 1 for a card that has none
  int slot = 0;      // its first block there, 0..14
  std::string name;
  int blocks = 0;
  std::string game_id;
  GatherOutcome outcome = GatherOutcome::added;
  std::string why;
  int target_slot = -1;
};

struct GatherReport {
  std::vector<GatherEntry> entries;    // by game ID, then save name
  std::vector<LibraryCard> no_cards;   // files of card names that are no card, with why
  std::vector<std::string> notes;      // "path: note", e.g. two files claiming one card
  int cards_read = 0;
  std::string failed_source;           // the source a failure concerns
};

// The saves of the cards under each source (a folder, walked, or a card
// file) that belong to the games asked for, placed on `target` as import
// places them (their free blocks in slot order). `target` must hold a card
// that analyses; only the placed saves change it. Fails when a source is
// neither a file nor a folder, or the target does not analyse.
Failure gather_game_cards(const std::vector<std::string>& sources, const GatherOptions& options,
                          CardImage& target, GatherReport& report);

int gather_count(const GatherReport& report, GatherOutcome outcome);
// "SLUS-00594-1.mcd, slot 2 (channel 1): BASLUS-00594GAME (1 block) to slot 3".
std::string gather_entry_text(const GatherEntry& entry);
// The lines, the files that are no card, the notes and a summary.
std::string gather_report(const GatherReport& report);
