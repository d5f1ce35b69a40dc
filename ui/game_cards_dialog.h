// The dialog of "Split Card into Game Cards..." and "Gather Game Cards...":
// the folder of an SD card's (or an emulator's) per-game cards, with the
// layout to split into, or the channel whose versions a gather takes.
#pragma once

#include <string>

#include "files/card_library.h"

enum class GameCardsJob { split, gather };

struct GameCardsChoice {
  CardLayout layout = CardLayout::memcardpro;
  std::string folder;
  int channel = 1;
};

// Runs the dialog, starting from `choice` (the last one of the run); false
// when the user cancels.
bool ask_game_cards(GameCardsJob job, GameCardsChoice& choice);
