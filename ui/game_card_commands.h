// The system menu's "Split Card into Game Cards..." (the card in memory
// onto an SD card's or an emulator's per-game cards) and "Gather Game
// Cards..." (their saves onto a new card in memory, which "Save MC" or
// "Write to PS3MCA" then takes where it goes).
#pragma once

void split_card_command();
void gather_cards_command();
