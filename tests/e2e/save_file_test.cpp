#include <gtest/gtest.h>

#include <cstring>

#include "resources/resource_ids.h"
#include "tests/e2e/driver.h"
#include "tests/e2e/e2e_cards.h"
#include "tests/e2e/saves_fixture.h"

namespace {

TEST_F(Saves, NewCardAsksOnlyWhenACardIsLoaded) {
  program.click(IDC_NEW_CARD);
  ASSERT_TRUE(wait_until([&] { return program.text(IDC_COUNTER) == "0/15"; }));
  EXPECT_FALSE(program.find_box());
  EXPECT_EQ(saved_card(), card_bytes(blank_card()));
  EXPECT_TRUE(shows(program, slot_corner, 0, kWhite));
  is_loaded_now = true;

  open(sample_card(), "6/15");
  program.click(IDC_NEW_CARD);
  program.expect_box("Warning", kLoss, IDNO);
  EXPECT_EQ(program.text(IDC_COUNTER), "6/15");
  program.click(IDC_NEW_CARD);
  program.expect_box("Warning", kLoss, IDYES);
  ASSERT_TRUE(wait_until([&] { return program.text(IDC_COUNTER) == "0/15"; }));
  EXPECT_EQ(saved_card(), card_bytes(blank_card()));
}

TEST_F(Saves, DeleteFreesTheSelectedSaveAndItsChain) {
  open(sample_card(), "6/15");
  program.click(IDC_DELETE_SAVE);
  program.expect_box("Error", "No save selected.");
  select(4, "3 Blocks, Europe, SCES-00344 : RACE");
  program.click(IDC_DELETE_SAVE);
  ASSERT_TRUE(wait_until([&] { return program.text(IDC_COUNTER) == "3/15"; }));
  EXPECT_EQ(program.text(IDC_INFO), "");
  for (int slot = 3; slot <= 5; ++slot) EXPECT_TRUE(shows(program, slot_corner, slot, kWhite));
  const Bytes after = saved_card();
  CardImage expected = sample_card();
  for (int slot = 3; slot <= 5; ++slot) {
    expected.bytes[(slot + 1) * 128] ^= 0xF0;
    fix_checksum(expected, slot + 1);
  }
  EXPECT_EQ(after, card_bytes(expected));
}

TEST_F(Saves, ImportingAnMcsPlacesItInTheFirstFreeBlocks) {
  open(sample_card(), "6/15");
  SaveSpec save;
  save.name = "BASLUS-00777ZZ";
  save.title = "IMPORTED";
  save.blocks = 2;
  save.icon_frames = 3;
  import("two.mcs", mcs_file(save));
  ASSERT_TRUE(wait_until([&] { return program.text(IDC_COUNTER) == "8/15"; }));
  EXPECT_FALSE(program.find_box());
  select(6, "2 Blocks, America, SLUS-00777 : ZZ");
  EXPECT_EQ(program.text(IDC_TITLE), "IMPORTED");
  EXPECT_TRUE(shows(program, slot_frame, 7, kFrameGreen));
}

TEST_F(Saves, BadSaveFilesAreRefusedAndTheCardStaysAsItWas) {
  open(sample_card(), "6/15");
  SaveSpec save;
  Bytes wrong_size = mcs_file(save);
  wrong_size[131] = 2;
  Bytes random(20000);
  for (size_t i = 0; i < random.size(); ++i) random[i] = uint8_t(i * 7919 >> 3);
  Bytes mismatched = raw_save_file(save);
  mismatched[3] = 3;

  import("wrong.mcs", wrong_size);
  program.expect_box("File Error", "The MCS has a wrong size !");
  import("empty.mcs", Bytes());
  program.expect_box("File Error", "Wrong File Format !\n(no SC header)");
  import("short.bin", Bytes(131, 'S'));
  program.expect_box("File Error", "Wrong File Format !\n(no SC header)");
  import("random.bin", random);
  program.expect_box("File Error", "Wrong File Format !\n(no SC header)");
  import("mismatch.bin", mismatched);
  program.expect_box("File Error", "SC Header do not correspond to file size !");
  EXPECT_EQ(program.text(IDC_COUNTER), "6/15");
  EXPECT_EQ(saved_card(), card_bytes(sample_card()));
}

TEST_F(Saves, ImportNeedsAFreeBlockForEveryBlockOfTheSave) {
  CardImage full = blank_card();
  for (int i = 0; i < 14; ++i) add_save(full, SaveSpec{});
  open(full, "14/15");
  SaveSpec two;
  two.blocks = 2;
  import("two.mcs", mcs_file(two));
  program.expect_box("File Error",
                     "Not enough space on the current Memory Card to import this file !\nYou need 2 free blocks.");
  EXPECT_EQ(program.text(IDC_COUNTER), "14/15");
  EXPECT_EQ(saved_card(), card_bytes(full));
}

TEST_F(Saves, ExportWritesTheDirectoryFrameAndTheBlocksInChainOrder) {
  CardImage card = sample_card();
  SaveSpec scattered;
  scattered.name = "BASLUS-00042SCAT";
  scattered.blocks = 2;
  scattered.seed = 0x60;
  put_save(card, scattered, {9, 7});  // slot 7 lies below its first block: corrupted
  open(card, "7/15");
  select(9, "2 Blocks, America, SLUS-00042 : SCAT");
  program.click(IDC_EXPORT_SAVE);
  program.choose_file(folder.path("scattered"));
  const std::string path = folder.path("scattered.mcs");
  ASSERT_TRUE(wait_until([&] { return read_file(path).size() == 128 + 2 * 8192; }));
  Bytes expected(card.bytes.begin() + 10 * 128, card.bytes.begin() + 11 * 128);
  expected.insert(expected.end(), card.bytes.begin() + 10 * 8192, card.bytes.begin() + 11 * 8192);
  expected.insert(expected.end(), card.bytes.begin() + 8 * 8192, card.bytes.begin() + 9 * 8192);
  EXPECT_EQ(read_file(path), expected);
}

TEST_F(Saves, ExportRefusesEmptyCorruptedAndBrokenSaves) {
  CardImage card = sample_card();
  SaveSpec broken;
  broken.blocks = 2;
  put_save(card, broken, {10, 11});
  set_link(card, 11, 10);  // comes back to its first block
  open(card, "7/15");
  select(12, "Empty Block");
  program.click(IDC_EXPORT_SAVE);
  program.expect_box("Cannot Export", "Empty Block !");
  select(10, "Corrupted Block");
  program.click(IDC_EXPORT_SAVE);
  program.expect_box("Cannot Export", "Corrupted Block !");

  // Allowed, a corrupted block exports, until its chain comes back on itself.
  program.click_and_finish(IDC_ALLOW_CORRUPTED);
  select(10, "Corrupted Block");
  program.click(IDC_EXPORT_SAVE);
  program.choose_file(folder.path("broken.mcs"));
  program.expect_box("Cannot Export", "Corrupted Block !");
  EXPECT_TRUE(read_file(folder.path("broken.mcs")).empty());
}

}  // namespace
