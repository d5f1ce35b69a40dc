#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "card/analysis.h"
#include "tests/support/card_maker.h"

namespace {

struct Analysed {
  std::unique_ptr<SlotTable> table = std::make_unique<SlotTable>();
  Failure failure;
};

Analysed analyse(CardImage& card, bool allow_corrupted = false) {
  Analysed result;
  result.failure = analyse_card(card, *result.table, allow_corrupted);
  return result;
}

std::vector<int> statuses(const SlotTable& table) {
  return std::vector<int>(table.status, table.status + kSlotCount);
}

// Colour (r, g, b) of the top-left pixel of an icon.
std::array<int, 3> corner(const IconImage& image) { return {image[2], image[1], image[0]}; }

TEST(AnalyseCard, FreshCardHasFifteenEmptySlotsWithWhitePlaceholders) {
  CardImage card = blank_card();
  const Analysed a = analyse(card);
  ASSERT_FALSE(a.failure);
  EXPECT_EQ(a.table->used, 0);
  for (int i = 0; i < kSlotCount; ++i) {
    EXPECT_EQ(a.table->status[i], kSlotEmpty);
    EXPECT_EQ(a.table->owner[i], -1);
    ASSERT_EQ(a.table->icons[i].count, 1);
    EXPECT_EQ(a.table->icons[i].frames[0], white_placeholder());
  }
}

TEST(AnalyseCard, FurtherBlocksBelongToAFirstBlockInALowerSlotOnly) {
  SaveSpec save;
  save.blocks = 3;
  save.icon_frames = 3;

  CardImage ascending = blank_card();
  put_save(ascending, save, {0, 1, 2});
  Analysed a = analyse(ascending);
  EXPECT_EQ(statuses(*a.table), (std::vector<int>{3, -2, -2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(a.table->owner[1], 0);
  EXPECT_EQ(a.table->owner[2], 0);
  EXPECT_EQ(a.table->used, 3);
  EXPECT_EQ(icon_source(*a.table, 2), 0);
  ASSERT_EQ(a.table->icons[0].count, 3);
  for (int k = 0; k < 3; ++k) {
    const uint16_t c = kFrameColour[k];
    EXPECT_EQ(corner(a.table->icons[0].frames[k]),
              (std::array<int, 3>{(c & 31) << 3, ((c >> 5) & 31) << 3, ((c >> 10) & 31) << 3}));
  }

  CardImage first_on_top = blank_card();
  put_save(first_on_top, save, {2, 0, 1});
  a = analyse(first_on_top);
  EXPECT_EQ(a.table->status[0], kSlotCorrupted);
  EXPECT_EQ(a.table->status[1], kSlotCorrupted);
  EXPECT_EQ(a.table->status[2], 3);
  EXPECT_EQ(a.table->used, 1);
  // The first block still claims them, so the selection frames include them.
  EXPECT_EQ(a.table->owner[0], 2);
  EXPECT_EQ(a.table->owner[1], 2);
  EXPECT_EQ(a.table->icons[0].frames[0], red_placeholder());
}

TEST(AnalyseCard, StatesOtherThanInUseAreEmptyAndOddInUseStatesCorrupted) {
  CardImage card = blank_card();
  set_state(card, 0, 0xA1);
  set_state(card, 1, 0x50);
  set_state(card, 2, 0x54);
  set_state(card, 3, 0x00);
  set_state(card, 4, 0x52);  // a middle block nobody claims
  const Analysed a = analyse(card);
  EXPECT_EQ(statuses(*a.table), (std::vector<int>{0, -1, -1, 0, -1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(a.table->used, 0);
}

TEST(AnalyseCard, ChecksumComesFirstUnlessCorruptedSavesAreAllowed) {
  CardImage card = blank_card();
  break_checksum(card, 1);  // a never-used frame with a wrong checksum
  EXPECT_EQ(analyse(card).table->status[0], kSlotCorrupted);
  EXPECT_EQ(analyse(card, true).table->status[0], kSlotEmpty);
}

TEST(AnalyseCard, HeaderBlockCountComesFromSizeBytesFiveAndSixOnly) {
  CardImage card = blank_card();
  SaveSpec save;
  save.blocks = 2;
  put_save(card, save, {0, 1});
  uint8_t* d = directory_frame(card, 0);
  d[4] = 0x77;  // ignored
  d[7] = 0x01;  // ignored
  fix_checksum(card, 1);
  EXPECT_EQ(analyse(card).table->status[0], 2);

  d[5] = 0x60;  // 0x6000 bytes = 3 blocks, header says 2
  fix_checksum(card, 1);
  Analysed a = analyse(card);
  EXPECT_EQ(a.table->status[0], kSlotCorrupted);
  EXPECT_EQ(a.table->status[1], kSlotCorrupted);
  EXPECT_EQ(analyse(card, true).table->status[0], 2);
}

TEST(AnalyseCard, AllowCorruptedShowsBadHeadersWithWhateverByteThreeHolds) {
  CardImage card = blank_card();
  SaveSpec save;
  put_save(card, save, {0});
  put_save(card, save, {1});
  put_save(card, save, {2});
  std::memcpy(data_block(card, 0), "XY", 2);
  data_block(card, 1)[3] = 0;  // and a block count that no longer matches
  data_block(card, 2)[2] = 0x21;  // malformed icon flag
  EXPECT_EQ(statuses(*analyse(card).table)[0], kSlotCorrupted);
  const Analysed a = analyse(card, true);
  EXPECT_EQ(a.table->status[0], 1);
  EXPECT_EQ(a.table->status[1], kSlotEmpty);
  EXPECT_EQ(a.table->icons[1].frames[0], white_placeholder());
  EXPECT_EQ(a.table->status[2], 1);
  EXPECT_EQ(a.table->used, 2);
}

TEST(AnalyseCard, ZeroBlockFirstBlockStillClaimsItsChain) {
  CardImage card = blank_card();
  SaveSpec save;
  save.blocks = 3;
  put_save(card, save, {0, 1, 2});
  data_block(card, 0)[3] = 0;
  for (int slot = 0; slot < 3; ++slot) {
    uint8_t* d = directory_frame(card, slot);
    d[5] = d[6] = 0;  // size says zero blocks too, so the header is well formed
    fix_checksum(card, slot + 1);
  }
  const Analysed a = analyse(card);
  EXPECT_EQ(statuses(*a.table), (std::vector<int>{0, -2, -2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(a.table->used, 2);
  EXPECT_EQ(a.table->icons[0].frames[0], white_placeholder());
}

TEST(AnalyseCard, BadFrameInTheChainCorruptsTheSaveButKeepsEarlierOwners) {
  CardImage card = blank_card();
  SaveSpec save;
  save.blocks = 3;
  save.icon_frames = 2;
  put_save(card, save, {0, 1, 2});
  break_checksum(card, 3);  // slot 2
  const Analysed a = analyse(card);
  EXPECT_EQ(a.table->status[0], kSlotCorrupted);
  EXPECT_EQ(a.table->status[1], kSlotFurtherBlock);
  EXPECT_EQ(a.table->status[2], kSlotCorrupted);
  EXPECT_EQ(a.table->used, 1);
  ASSERT_EQ(a.table->icons[0].count, 1);  // its decoded frames are gone
  EXPECT_EQ(a.table->icons[0].frames[0], red_placeholder());
  EXPECT_EQ(icon_source(*a.table, 1), 0);

  const Analysed allowed = analyse(card, true);
  EXPECT_EQ(allowed.table->status[0], 3);
  EXPECT_EQ(allowed.table->used, 3);
}

TEST(AnalyseCard, LinksOutsideTheDirectoryAndLoopsEndTheWalkAsCorrupted) {
  for (uint8_t bad_link : {uint8_t(15), uint8_t(16), uint8_t(0x80), uint8_t(0xFE)}) {
    CardImage card = blank_card();
    SaveSpec save;
    save.blocks = 2;
    put_save(card, save, {0, 1});
    set_link(card, 1, bad_link);
    for (bool allow : {false, true}) {
      const Analysed a = analyse(card, allow);
      EXPECT_EQ(a.table->status[0], kSlotCorrupted) << int(bad_link);
      EXPECT_EQ(a.table->owner[1], 0);
    }
  }
  CardImage loop = blank_card();
  SaveSpec save;
  save.blocks = 3;
  put_save(loop, save, {0, 1, 2});
  set_link(loop, 2, 1);  // 0 -> 1 -> 2 -> 1
  EXPECT_EQ(analyse(loop, true).table->status[0], kSlotCorrupted);
  set_link(loop, 0, 0);  // a first block linking to itself
  EXPECT_EQ(analyse(loop, true).table->status[0], kSlotCorrupted);
}

TEST(AnalyseCard, SaveWithoutIconFramesShowsBlack) {
  CardImage card = blank_card();
  SaveSpec save;
  save.icon_frames = 0;
  put_save(card, save, {4});
  const Analysed a = analyse(card);
  EXPECT_EQ(a.table->status[4], 1);
  ASSERT_EQ(a.table->icons[4].count, 1);
  EXPECT_EQ(a.table->icons[4].frames[0], black_icon());
}

TEST(AnalyseCard, BadHeaderFrameUnloadsTheImageAndKeepsThePreviousTable) {
  CardImage good = blank_card();
  SaveSpec save;
  save.blocks = 2;
  put_save(good, save, {0, 1});
  Analysed a = analyse(good);
  ASSERT_FALSE(a.failure);
  const SlotTable before = *a.table;

  CardImage bad_header = blank_card();
  break_checksum(bad_header, 0);
  a.failure = analyse_card(bad_header, *a.table, false);
  ASSERT_TRUE(a.failure);
  EXPECT_EQ(a.failure->text, "Wrong Memory Card format.");
  EXPECT_EQ(a.failure->caption, "Error");
  EXPECT_EQ(bad_header.bytes[0], 0);
  EXPECT_FALSE(is_loaded(bad_header));
  EXPECT_EQ(0, std::memcmp(&before, a.table.get(), sizeof before));

  CardImage not_a_card;
  not_a_card.bytes[0] = 'X';
  not_a_card.bytes[1] = 'C';
  EXPECT_TRUE(analyse_card(not_a_card, *a.table, true));
  EXPECT_EQ(not_a_card.bytes[0], 0);
  EXPECT_EQ(0, std::memcmp(&before, a.table.get(), sizeof before));
}

}  // namespace
