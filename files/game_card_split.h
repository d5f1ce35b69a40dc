// Splitting whole cards into the per-game cards of a library (card_library.h):
// each save goes to the card of its game, the channel of its card that takes
// it, the card made when missing. Nothing is overwritten: the plan is made in
// memory first, then each card file that changes is kept with the backups and
// replaced in one step, so a split stopped at any point (a full SD card, a
// card pulled out) and run again finishes the job without a save twice.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "card/analysis.h"
#include "card/card_image.h"
#include "card/failure.h"
#include "files/card_library.h"

// A card whose saves are split, already analysed.
struct SplitSource {
  std::string label;  // its file's path, or the reader it was read from
  const CardImage* card = nullptr;
  const SlotTable* slots = nullptr;
};

enum class SplitOutcome {
  added,          // placed on `path`
  already_there,  // `path` holds it byte for byte
  did_not_fit,    // no channel of its game's card had room for it
  refused,        // it, or its game's card, cannot be taken: see `why`
};

struct SplitEntry {
  std::string source;
  int slot = 0;  // its first block on the source, 0..14
  std::string name;
  int blocks = 0;
  std::string game_id;    // "" when its name holds none
  std::string card_name;  // its game's card: the game ID, sd2psx's shared folder, or "Other"
  std::string path;       // the card file it went to or is on; "" when none
  int channel = 0;
  SplitOutcome outcome = SplitOutcome::added;
  std::string why;  // why a later channel, why none, why refused
};

// A game card the plan looked at.
struct SplitCard {
  std::string path;
  bool existed = false;
  std::unique_ptr<CardImage> before;  // the file's card as read
  std::unique_ptr<CardImage> card;    // with the saves added
  std::unique_ptr<SlotTable> slots;
  CardFileInfo file;
  std::string failure;  // why the file cannot take saves; "" when it can
  int added = 0;
};

struct SplitPlan {
  CardLayout layout = CardLayout::none;
  LayoutFolders folders;
  std::vector<SplitEntry> entries;  // the sources' saves in order
  std::vector<SplitCard> cards;     // in the order they were first looked at
};

// Where every save of the sources goes under `folder` (see layout_folders).
// Reads the game cards there; writes nothing. Fails only when `folder` is
// no folder; a card that cannot be read refuses the saves of its game.
Failure plan_split(const std::vector<SplitSource>& sources, CardLayout layout, const std::string& folder,
                   SplitPlan& plan);

struct SplitWritten {
  std::vector<std::string> cards;    // the card files written, in order
  std::vector<std::string> backups;  // where the old contents of those that existed were kept
  std::string failed_path;           // the file or folder the split stopped at
};

// Writes the plan's changed cards in order, each existing file's card kept
// with the backups first. Stops at the first failure, `failed_path` naming
// what it concerns; every file is then whole, old or new.
Failure carry_out_split(const SplitPlan& plan, SplitWritten& written);

// Counts of the plan's outcomes.
int split_count(const SplitPlan& plan, SplitOutcome outcome);
// Every save is on its game's card once the plan is carried out: none
// did not fit, none was refused.
bool split_complete(const SplitPlan& plan);
// One line per save, as both front ends show the plan: "memcard.mcr, slot
// 1: BESCES-00984GT (5 blocks) to sd/MemoryCards/SCES-00984/SCES-00984-1.mcd".
std::string split_entry_text(const SplitEntry& entry);
// The lines and a summary: "12 saves split into 9 game cards, 2 already
// there, 1 did not fit."
std::string split_report(const SplitPlan& plan);
