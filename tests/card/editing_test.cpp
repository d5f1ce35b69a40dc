#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "card/analysis.h"
#include "card/editing.h"
#include "card/undelete.h"
#include "tests/support/card_maker.h"

namespace {

int used_blocks(CardImage card) {
  auto table = std::make_unique<SlotTable>();
  EXPECT_FALSE(analyse_card(card, *table, false));
  return table->used;
}

TEST(FormatCard, MatchesAFreshCardByteForByte) {
  CardImage card;
  card.bytes.fill(0x5A);
  format_card(card);
  EXPECT_EQ(card.bytes, blank_card().bytes);
  EXPECT_EQ(card.bytes[127], 0x0E);
  for (int slot = 0; slot < kSlotCount; ++slot) {
    EXPECT_EQ(directory_frame(card, slot)[0], 0xA0);
    EXPECT_FALSE(frame_is_bad(directory_frame(card, slot)));
  }
  EXPECT_EQ(used_blocks(card), 0);
}

TEST(DeleteSave, FlipsStatesAlongTheChainAndLeavesEverythingElse) {
  CardImage card = blank_card();
  SaveSpec save;
  save.blocks = 3;
  put_save(card, save, {4, 2, 9});
  add_save(card, SaveSpec{});
  ASSERT_EQ(used_blocks(card), 3);  // slot 2 lies below its first block: corrupted
  const CardImage before = card;
  delete_save(card, 4);
  EXPECT_EQ(directory_frame(card, 4)[0], 0xA1);
  EXPECT_EQ(directory_frame(card, 2)[0], 0xA2);
  EXPECT_EQ(directory_frame(card, 9)[0], 0xA3);
  for (int slot : {4, 2, 9}) {
    EXPECT_FALSE(frame_is_bad(directory_frame(card, slot)));
    EXPECT_EQ(0, std::memcmp(directory_frame(card, slot) + 1, directory_frame(before, slot) + 1, 126));
  }
  EXPECT_EQ(0, std::memcmp(card.bytes.data() + 8192, before.bytes.data() + 8192, kCardSize - 8192));
  EXPECT_EQ(used_blocks(card), 1);

  const CardImage after = card;
  delete_save(card, 4);  // a free frame: nothing happens
  EXPECT_EQ(card.bytes, after.bytes);
}

TEST(DeleteSave, MendsABadChecksumAndStopsAtBadLinksAndLoops) {
  CardImage card = blank_card();
  SaveSpec save;
  save.blocks = 2;
  put_save(card, save, {0, 1});
  break_checksum(card, 1);
  delete_save(card, 0);
  EXPECT_EQ(directory_frame(card, 0)[0], 0xA1);
  EXPECT_FALSE(frame_is_bad(directory_frame(card, 0)));
  EXPECT_EQ(directory_frame(card, 1)[0], 0xA3);

  for (uint8_t link : {uint8_t(15), uint8_t(0x40), uint8_t(0xFE)}) {
    CardImage broken = blank_card();
    put_save(broken, save, {0, 1});
    set_link(broken, 1, link);
    const CardImage before = broken;
    delete_save(broken, 0);
    EXPECT_EQ(directory_frame(broken, 1)[0], 0xA3);
    EXPECT_EQ(0, std::memcmp(broken.bytes.data() + 3 * 128, before.bytes.data() + 3 * 128,
                             kCardSize - 3 * 128));
  }
  CardImage loop = blank_card();
  put_save(loop, save, {0, 1});
  set_link(loop, 1, 0);
  set_state(loop, 0, 0x51);
  delete_save(loop, 0);
  EXPECT_EQ(directory_frame(loop, 0)[0], 0xA1);  // freed once, not flipped back
  EXPECT_EQ(directory_frame(loop, 1)[0], 0xA3);
}

TEST(DeleteSave, StartingAtAMiddleBlockFreesItAndWhatFollows) {
  CardImage card = blank_card();
  SaveSpec save;
  save.blocks = 3;
  put_save(card, save, {5, 0, 1});  // slots 0 and 1 show as corrupted
  delete_save(card, 0);
  EXPECT_EQ(directory_frame(card, 0)[0], 0xA2);
  EXPECT_EQ(directory_frame(card, 1)[0], 0xA3);
  EXPECT_EQ(directory_frame(card, 5)[0], 0x51);
}

std::string undelete_text(CardImage& card, int slot) {
  const Failure failure = undelete_save(card, slot);
  return failure ? failure->text : "";
}

// Restoring a save whole is the fuzzers' and the command line's to show;
// here, the refusals.
TEST(UndeleteSave, RefusesASaveWhoseBlocksWereTakenOrUnlinked) {
  CardImage card = blank_card();
  add_save(card, SaveSpec{});  // slot 0
  SaveSpec save;
  save.blocks = 3;
  put_save(card, save, {4, 2, 9});
  delete_save(card, 4);
  const CardImage deleted = card;
  // An import takes the lowest free frames: slots 1 and 2, one of its blocks.
  SaveSpec other;
  other.blocks = 2;
  const Bytes data = save_blocks(other);
  ASSERT_FALSE(place_save(card, directory_entry(other, 0x51, 0xFF).data(), data.data(), data.size()));
  const CardImage taken = card;
  EXPECT_EQ(undelete_text(card, 4),
            "Cannot undelete slot 5: the block in slot 3 now belongs to another save.");
  EXPECT_EQ(card.bytes, taken.bytes);

  // Its first link cut: of its blocks only slot 10 follows it in slot order.
  card = deleted;
  set_link(card, 4, 0xFF);
  EXPECT_EQ(undelete_text(card, 4),
            "Cannot undelete slot 5: its size field says 24576 bytes, but its chain holds 1 block, and "
            "its links cannot be rebuilt: only 1 deleted further block follows it.");
  EXPECT_FALSE(deleted_saves(card).back().has_first);  // slot 10, now out of reach
}

// Deleted as DuckStation deletes: the states flipped and every link 0xFFFF.
void delete_clearing_links(CardImage& card, const std::vector<int>& slots) {
  delete_save(card, slots[0]);
  for (int slot : slots) set_link(card, slot, 0xFF);
}

TEST(UndeleteSave, RebuildsClearedLinksOnlyWhereTheBlocksLeaveNoDoubt) {
  // Placed in ascending free blocks around a live save, then deleted.
  CardImage card = blank_card();
  SaveSpec three;
  three.blocks = 3;
  put_save(card, three, {2, 5, 9});
  put_save(card, SaveSpec{}, {3});
  const CardImage live = card;
  delete_clearing_links(card, {2, 5, 9});
  ASSERT_EQ(deleted_saves(card).size(), 1u);
  EXPECT_EQ(deleted_saves(card)[0].slots, (std::vector<int>{2, 5, 9}));
  EXPECT_FALSE(undelete_save(card, 2));
  EXPECT_EQ(card.bytes, live.bytes);

  // Another deleted save's last block lies first in slot order: which blocks
  // are whose is a guess.
  card = live;
  SaveSpec two;
  two.blocks = 2;
  two.seed = 9;
  put_save(card, two, {12, 4});
  delete_save(card, 12);
  set_state(card, 12, 0x00);  // its first block lost: slot 5 is a lone last block
  delete_clearing_links(card, {2, 5, 9});
  const CardImage doubtful = card;
  EXPECT_EQ(undelete_text(card, 2),
            "Cannot undelete slot 3: its size field says 24576 bytes, but its chain holds 1 block, and "
            "its links cannot be rebuilt: the block in slot 5 is a last block, where a middle block "
            "belongs.");
  EXPECT_EQ(card.bytes, doubtful.bytes);

  // Two saves with cleared links that could each take slot 4.
  card = blank_card();
  put_save(card, two, {0, 3});
  two.seed = 30;
  put_save(card, two, {1, 4});
  delete_clearing_links(card, {0, 3});
  delete_clearing_links(card, {1, 4});
  EXPECT_EQ(undelete_text(card, 1),
            "Cannot undelete slot 2: its size field says 16384 bytes, but its chain holds 1 block, and "
            "its links cannot be rebuilt: the block in slot 4 could also be a block of the deleted save "
            "in slot 1.");
  EXPECT_NE(undelete_text(card, 0), "");
}

TEST(PlaceSave, FillsFreeSlotsInAscendingOrderWithLinkedCopiesOfTheTemplate) {
  CardImage card = blank_card();
  SaveSpec filler;
  put_save(card, filler, {0});
  put_save(card, filler, {1});
  put_save(card, filler, {2});
  put_save(card, filler, {4});
  put_save(card, filler, {5});
  put_save(card, filler, {6});
  SaveSpec save;
  save.blocks = 2;
  save.seed = 0x40;
  const Bytes entry = directory_entry(save, 0x51, 0x00);
  const Bytes data = save_blocks(save);
  ASSERT_FALSE(place_save(card, entry.data(), data.data(), data.size()));

  const uint8_t* first = directory_frame(card, 3);
  const uint8_t* last = directory_frame(card, 7);
  EXPECT_EQ(first[0], 0x51);
  EXPECT_EQ(first[8], 0x07);
  EXPECT_EQ(first[9], 0x00);
  EXPECT_EQ(last[0], 0x53);
  EXPECT_EQ(last[8], 0xFF);
  EXPECT_EQ(last[9], 0xFF);
  EXPECT_FALSE(frame_is_bad(first));
  EXPECT_FALSE(frame_is_bad(last));
  EXPECT_EQ(0, std::memcmp(first + 1, entry.data() + 1, 7));
  EXPECT_EQ(0, std::memcmp(last + 10, entry.data() + 10, 20));
  EXPECT_EQ(0, std::memcmp(data_block(card, 3), data.data(), 8192));
  EXPECT_EQ(0, std::memcmp(data_block(card, 7), data.data() + 8192, 8192));
  EXPECT_EQ(used_blocks(card), 8);

  CardImage single = blank_card();
  put_save(single, filler, {0});
  put_save(single, filler, {1});
  const Bytes one = save_blocks(SaveSpec{});
  ASSERT_FALSE(place_save(single, directory_entry(SaveSpec{}, 0x51, 3).data(), one.data(), 8192));
  EXPECT_EQ(directory_frame(single, 2)[0], 0x51);
  EXPECT_EQ(directory_frame(single, 2)[8], 0xFF);
  EXPECT_EQ(directory_frame(single, 2)[9], 0xFF);
}

TEST(PlaceSave, WithTooFewFreeFramesLeavesTheCardExactlyAsItWas) {
  CardImage card = blank_card();
  for (int slot = 0; slot < 13; ++slot) set_state(card, slot, 0x00);  // look empty, are not free
  SaveSpec save;
  save.blocks = 3;
  const Bytes data = save_blocks(save);
  const CardImage before = card;
  const Failure failure =
      place_save(card, directory_entry(save, 0x51, 0xFF).data(), data.data(), data.size());
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->text,
            "Not enough space on the current Memory Card to import this file !\nYou need 3 free blocks.");
  EXPECT_EQ(failure->caption, "File Error");
  EXPECT_EQ(card.bytes, before.bytes);
}

}  // namespace
