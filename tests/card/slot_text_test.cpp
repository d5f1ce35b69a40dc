#include <gtest/gtest.h>

#include <cstring>

#include "card/slot_text.h"
#include "tests/support/card_maker.h"

namespace {

CardImage card_with(const std::string& name, int blocks = 1) {
  CardImage card = blank_card();
  SaveSpec save;
  save.name = name;
  save.blocks = blocks;
  add_save(card, save);
  return card;
}

TEST(InfoLine, DecodesRegionProductCodeAndPocketStationFromTheName) {
  EXPECT_EQ(info_line(card_with("BASLUS-00001DEMO"), 0, 1), "1 Block, America, SLUS-00001 : DEMO");
  EXPECT_EQ(info_line(card_with("BISLPSP00001GAME", 2), 0, 2),
            "2 Blocks, Japan, SLPS-00001 : PocketStation : GAME");
  EXPECT_EQ(info_line(card_with("BESCES-00344"), 0, 15), "15 Blocks, Europe, SCES-00344 : ");
  EXPECT_EQ(info_line(card_with("BXSLUS-00001"), 0, 0), "0 Block, Japan, SLUS-00001 : ");
}

TEST(InfoLine, ShortNamesEndAtTheirFirstZeroAndLongOnesStayInTheFrame) {
  EXPECT_EQ(info_line(card_with("BASLUS"), 0, 1), "1 Block, America, SLUS-");
  CardImage card = card_with("BASLUS-01234ABCDEFGH");
  std::memset(directory_frame(card, 0) + 30, 'Z', 97);  // nothing ends the name in the frame
  EXPECT_EQ(info_line(card, 0, 255), "255 Blocks, America, SLUS-01234 : ABCDEFGH");
  EXPECT_EQ(name_caption(card, 0), "BASLUS-01234ABCDEFGH");
}

TEST(TitleBytes, StopAtTheFirstZeroOrAfterSixtyFourBytes) {
  CardImage card = card_with("BASLUS-00001DEMO");
  EXPECT_EQ(title_bytes(card, 0), "DEMO");
  std::memset(data_block(card, 0) + 4, 0x82, 64);
  std::memset(data_block(card, 0) + 68, 'X', 28);
  EXPECT_EQ(title_bytes(card, 0), std::string(64, '\x82'));
}

}  // namespace
