#include <gtest/gtest.h>

#include <cstring>

#include "card/card_image.h"
#include "tests/support/card_maker.h"

namespace {

TEST(CardImage, LoadedMeansMcAndHeaderChecksumIsTheXorOfItsBytes) {
  CardImage card;
  EXPECT_FALSE(is_loaded(card));
  card = blank_card();
  EXPECT_TRUE(is_loaded(card));
  EXPECT_EQ(frame_checksum(frame(card, 0)), 0x0E);
  EXPECT_FALSE(frame_is_bad(frame(card, 0)));
  break_checksum(card, 0);
  EXPECT_TRUE(is_loaded(card));  // loaded, yet the analysis will refuse it
  EXPECT_TRUE(frame_is_bad(frame(card, 0)));
  card.bytes[0] = 0;
  EXPECT_FALSE(is_loaded(card));
}

TEST(CardImage, FramesBlocksAndSlotsAddressTheRightBytes) {
  CardImage card;
  EXPECT_EQ(frame(card, 1023) - card.bytes.data(), 1023 * 128);
  EXPECT_EQ(block(card, 15) - card.bytes.data(), 15 * 8192);
  EXPECT_EQ(directory_frame(card, 0), frame(card, 1));
  EXPECT_EQ(directory_frame(card, 14), frame(card, 15));
  EXPECT_EQ(data_block(card, 14), block(card, 15));
}

TEST(DirectoryFrame, SizeFieldAndNameAreReadWithinTheFrame) {
  SaveSpec save;
  save.blocks = 2;
  save.name = "BESLES-12345ABCDEFGH";  // exactly 20 characters
  Bytes entry = directory_entry(save, 0x51, 0xFF);
  const DirectoryFrame d{entry.data()};
  EXPECT_EQ(d.size(), 16384u);
  EXPECT_EQ(d.size_block_count(), 2);
  EXPECT_EQ(d.name(), save.name);
  EXPECT_TRUE(d.in_use());
  std::memset(entry.data() + 30, 'X', 97);  // no zero after the name
  EXPECT_EQ(DirectoryFrame{entry.data()}.name(), save.name);
  entry[13] = 0;
  EXPECT_EQ(DirectoryFrame{entry.data()}.name(), "BES");
}

}  // namespace
