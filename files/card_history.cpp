#include "files/card_history.h"

namespace {

// The notice was told once, when the file was read; it is no part of the
// card's state.
bool same_file(const CardFileInfo& a, const CardFileInfo& b) {
  if (a.format != b.format || a.magazine_header != b.magazine_header) return false;
  for (int slot = 0; slot < kSlotCount; ++slot)
    if (a.comments[slot].save_name != b.comments[slot].save_name ||
        a.comments[slot].text != b.comments[slot].text)
      return false;
  return true;
}

bool same_state(const CardState& a, const CardState& b) {
  return a.card.bytes == b.card.bytes && a.file_path == b.file_path && same_file(a.file, b.file) &&
         a.partial == b.partial && a.snapshot_valid == b.snapshot_valid;
}

}  // namespace

void CardHistory::start(const CardState& state) {
  states_.clear();
  current_ = 0;
  if (is_loaded(state.card)) states_.push_back(state);
}

void CardHistory::record(const CardState& state) {
  if (!is_loaded(state.card)) return;
  if (states_.empty()) {
    start(state);
    return;
  }
  if (same_state(states_[current_], state)) return;
  states_.erase(states_.begin() + current_ + 1, states_.end());
  states_.push_back(state);
  if (states_.size() > kUndoSteps + 1) states_.pop_front();
  current_ = states_.size() - 1;
}

const CardState* CardHistory::undo() {
  if (!can_undo()) return nullptr;
  return &states_[--current_];
}

const CardState* CardHistory::redo() {
  if (!can_redo()) return nullptr;
  return &states_[++current_];
}
