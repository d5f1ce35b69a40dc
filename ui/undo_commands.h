// Undo and Redo of the changes to the card in memory. Every command that
// changes the card ends by showing its analysis (analyse_and_show), which
// records the change here: a command added later is undoable without a
// word of its own.
#pragma once

// The card as shown now becomes the newest step, unless it did not change.
void record_card_change();
// Reading, opening or writing a card: the history starts again from it.
void start_card_history();

bool can_undo();
bool can_redo();
// Put the card, its file and its flags back as they were, and show them.
void undo_command();
void redo_command();
