#include "card/card_check.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/support/card_maker.h"

namespace {

// Saves in scattered slots, one whose chain runs from a higher slot down
// (other tools place saves so), and a deleted save: all sound.
CardImage sound_card() {
  CardImage card = blank_card();
  SaveSpec three;
  three.blocks = 3;
  put_save(card, three, {6, 2, 9});
  add_save(card, SaveSpec{});
  SaveSpec gone;
  gone.blocks = 2;
  put_save(card, gone, {11, 12});
  set_state(card, 11, 0xA1);
  set_state(card, 12, 0xA3);
  return card;
}

TEST(CheckCard, ReportsEachFaultWithItsFramesAndNothingOnASoundCard) {
  CardImage card = sound_card();
  EXPECT_TRUE(check_card(card).empty());
  break_checksum(card, 1);                 // the directory frame of slot 1's save
  set_state(card, 3, 0x00);                // an all-zero state
  set_link(card, 2, 1);                    // the 3-block save's middle block links down
  SaveSpec two;
  two.blocks = 2;
  put_save(card, two, {4, 5});
  set_link(card, 5, 4);                    // and loops back to its first block
  set_state(card, 5, 0x52);
  SaveSpec sized;
  sized.blocks = 1;
  put_save(card, sized, {7});
  frame(card, 8)[5] = 0x40;                // its size field says 2 blocks
  fix_checksum(card, 8);
  set_state(card, 14, 0x53);               // reached by no chain
  write_le32(frame(card, 17), 300);        // frame 300 listed as broken
  fix_checksum(card, 17);
  const std::vector<CardFault> faults = check_card(card);
  std::vector<std::pair<std::string, std::vector<int>>> found;
  for (const CardFault& fault : faults) found.push_back({fault.name, fault.frames});
  const std::vector<std::pair<std::string, std::vector<int>>> expected = {
      {"bad-directory-checksum", {1}},
      {"unknown-state", {4}},
      {"looping-chain", {5, 6}},
      {"broken-chain", {2, 3}},  // ascending, whichever way the link runs
      {"size-mismatch", {8}},
      {"bad-save-header", {8 * 64}},  // its header agrees with one block, not two
      {"orphan-block", {10}},          // the 3-block save's last block, cut off
      {"orphan-block", {15}},
      {"broken-sector", {17, 300}},
  };
  EXPECT_EQ(found, expected);
  EXPECT_NE(faults[3].meaning.find("The save in slot 7 links from slot 3 to slot 2"),
            std::string::npos)
      << faults[3].meaning;
}

TEST(HalvesMirror, TellsAFake64KCardFromAGenuineBlankOne) {
  // A genuine card's block 8 is save data, never a second directory.
  const CardImage genuine = blank_card();
  EXPECT_FALSE(halves_mirror(genuine));
  CardImage fake = sound_card();
  std::memcpy(frame(fake, 512), frame(fake, 0), 512 * 128);
  EXPECT_TRUE(halves_mirror(fake));
  EXPECT_EQ(check_card(fake).back().name, "halves-mirror");
  // Unformatted, it could be either: not called a fake.
  EXPECT_FALSE(halves_mirror(CardImage{}));
  // A fast read compares the frames it took of each block.
  frame(fake, 600)[0] ^= 1;
  EXPECT_FALSE(halves_mirror(fake));
  EXPECT_TRUE(halves_mirror(fake, 4));
}

}  // namespace
