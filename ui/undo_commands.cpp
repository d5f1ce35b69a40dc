#include "ui/undo_commands.h"

#include <memory>

#include "ui/app_state.h"
#include "ui/message_box.h"
#include "ui/slot_view.h"

namespace {

std::unique_ptr<CardState> current_state() {
  auto state = std::make_unique<CardState>();  // on the heap: it holds a whole card
  state->card = app.card;
  state->file_path = app.file_path;
  state->file = app.file;
  state->partial = app.partial_read;
  state->snapshot_valid = app.snapshot_valid;
  return state;
}

// The flags come back with the card: a card a fast read left incomplete
// stays unwritable, and the last read serves a difference write again
// (the snapshot itself changes only by a read or a write, which start a
// new history).
void show_state(const CardState* state) {
  if (!state) {
    MessageBeep(MB_OK);
    return;
  }
  app.card = state->card;
  app.file_path = state->file_path;
  app.file = state->file;
  app.partial_read = state->partial;
  app.snapshot_valid = state->snapshot_valid;
  show_failure(analyse_and_show());
}

}  // namespace

void record_card_change() { app.history.record(*current_state()); }

void start_card_history() { app.history.start(*current_state()); }

bool can_undo() { return app.history.can_undo(); }
bool can_redo() { return app.history.can_redo(); }

void undo_command() { show_state(app.history.undo()); }
void redo_command() { show_state(app.history.redo()); }
