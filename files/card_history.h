// The undo history of the card in memory. Each change to it (an import, a
// delete, a restore, a new card, ...) is a step that can be undone and
// redone; reading, opening or writing a card starts a new history, since
// the card then is what a file or the real card holds.
//
// Steps are whole copies of the card (128 KB each): at most kUndoSteps
// of them can be undone, about 13 MB.
#pragma once

#include <cstddef>
#include <deque>
#include <string>

#include "card/card_image.h"
#include "files/card_formats.h"

constexpr size_t kUndoSteps = 100;

// What a change to the card in memory can change besides the card.
struct CardState {
  CardImage card;
  std::string file_path;  // the card file it came from, "" for none
  CardFileInfo file;      // that file's format and comments
  bool partial = false;   // a fast read left it incomplete: it must not be written out
  // The last read of the real card may serve a difference write.
  bool snapshot_valid = false;
};

class CardHistory {
 public:
  // Forgets every step: the history starts again from `state`, or empty
  // when it holds no card.
  void start(const CardState& state);
  // After a change: `state` becomes the newest step and what could be
  // redone is forgotten, as is the oldest step beyond kUndoSteps. A state
  // equal to the current one (a command that changed nothing), or one
  // without a card, is no step. An empty history starts from it.
  void record(const CardState& state);

  bool can_undo() const { return current_ > 0; }
  bool can_redo() const { return current_ + 1 < states_.size(); }
  // The state to show after stepping back or forward; null when there is
  // no step that way.
  const CardState* undo();
  const CardState* redo();

 private:
  std::deque<CardState> states_;
  size_t current_ = 0;  // states_[current_] is the card in memory
};
