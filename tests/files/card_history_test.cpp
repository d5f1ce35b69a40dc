#include "files/card_history.h"

#include <gtest/gtest.h>

#include <memory>

#include "tests/support/card_maker.h"

namespace {

// A card told apart from the others by one byte of its last block.
CardState card_number(int n) {
  CardState state;
  state.card = blank_card();
  state.card.bytes[kCardSize - 1] = uint8_t(n);
  state.card.bytes[kCardSize - 2] = uint8_t(n >> 8);
  return state;
}

int number_of(const CardState* state) {
  return state ? state->card.bytes[kCardSize - 1] | state->card.bytes[kCardSize - 2] << 8 : -1;
}

TEST(CardHistory, UndoAndRedoWalkTheStepsAndANewChangeForgetsWhatCouldBeRedone) {
  auto history = std::make_unique<CardHistory>();
  history->record(card_number(1));  // an empty history starts from the first change
  history->record(card_number(2));
  history->record(card_number(3));
  EXPECT_EQ(number_of(history->undo()), 2);
  EXPECT_EQ(number_of(history->undo()), 1);
  EXPECT_EQ(history->undo(), nullptr);
  EXPECT_EQ(number_of(history->redo()), 2);
  history->record(card_number(5));
  EXPECT_FALSE(history->can_redo());
  EXPECT_EQ(number_of(history->undo()), 2);

  // Reading, opening or writing starts again; a card that is none leaves
  // nothing to undo.
  history->start(card_number(4));
  EXPECT_FALSE(history->can_undo());
  history->start(CardState{});
  history->record(CardState{});
  EXPECT_FALSE(history->can_undo() || history->can_redo());
}

TEST(CardHistory, OnlyRealChangesAreStepsAndTheFlagsComeBackWithTheCard) {
  auto history = std::make_unique<CardHistory>();
  CardState fast_read = card_number(1);
  fast_read.partial = true;
  fast_read.snapshot_valid = true;
  history->start(fast_read);
  CardState told = fast_read;
  told.file.notice = "told once";
  history->record(told);  // analysed again, "Allow Corrupted Save" for one
  EXPECT_FALSE(history->can_undo());
  // "New MC" undone: the card a fast read left incomplete stays unwritable.
  history->record(card_number(0));
  const CardState* back = history->undo();
  ASSERT_TRUE(back);
  EXPECT_TRUE(back->partial && back->snapshot_valid);
  CardState commented = fast_read;
  commented.file.comments[0].text = "a GME comment";
  history->record(commented);
  EXPECT_TRUE(history->can_undo());
}

TEST(CardHistory, KeepsTheNewestStepsOnly) {
  auto history = std::make_unique<CardHistory>();
  for (int step = 0; step <= int(kUndoSteps) + 9; ++step) history->record(card_number(step));
  size_t undone = 0;
  int oldest = -1;
  for (const CardState* step; (step = history->undo()); ++undone) oldest = number_of(step);
  EXPECT_EQ(undone, kUndoSteps);
  EXPECT_EQ(oldest, 9);
}

}  // namespace
