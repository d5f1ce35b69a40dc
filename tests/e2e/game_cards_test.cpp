// The system menu's "Split Card into Game Cards..." and "Gather Game
// Cards...": the card in memory onto an SD card's per-game cards, and back
// onto a new card in memory, which Undo takes away again.
#include <gtest/gtest.h>

#include "resources/resource_ids.h"
#include "tests/e2e/saves_fixture.h"

namespace {

// Types the folder into the dialog, as a person may rather than browse.
void fill_in(Program& program, const std::string& caption, const std::string& folder, int layout = 0) {
  HWND dialog = program.wait_dialog(caption);
  ASSERT_TRUE(dialog);
  if (layout) post_click(GetDlgItem(dialog, layout));
  set_text(GetDlgItem(dialog, IDC_GAME_FOLDER), folder);
  post_click(GetDlgItem(dialog, IDOK));
  ASSERT_TRUE(wait_until([&] { return !IsWindow(dialog); }));
}

TEST_F(Saves, SplitsTheCardIntoGameCardsAndGathersThemBack) {
  open(sample_card(), "6/15");
  const std::string sd = folder.path("sd");
  // A game card already there is extended.
  ASSERT_TRUE(CreateDirectoryA(sd.c_str(), nullptr));
  for (const char* inner : {"\\MemoryCards", "\\MemoryCards\\PS1", "\\MemoryCards\\PS1\\SLUS-00001"})
    ASSERT_TRUE(CreateDirectoryA((sd + inner).c_str(), nullptr));
  CardImage existing = blank_card();
  SaveSpec kept;
  kept.name = "BASLUS-00001KEPT";
  kept.seed = 40;
  put_save(existing, kept, {0});
  const std::string demo_card = sd + "\\MemoryCards\\PS1\\SLUS-00001\\SLUS-00001-1.mcd";
  write_file(demo_card, card_bytes(existing));

  program.choose_system_menu_item(kSplitCard);
  fill_in(program, "Split Card into Game Cards", sd, IDC_LAYOUT_SD2PSX);
  MessageBoxSeen box = program.wait_box();
  EXPECT_EQ(box.caption, "Split Card into Game Cards");
  const std::string card = folder.path("card.mcr");
  EXPECT_EQ(box.text, card + ", slot 1: BASLUS-00001DEMO (1 block) to " + demo_card + "\n" + card +
                          ", slot 2: BISLPSP00001GAME (2 blocks) to " + sd +
                          "\\MemoryCards\\PS1\\SLPS-00001\\SLPS-00001-1.mcd\n" + card +
                          ", slot 4: BESCES-00344RACE (3 blocks) to " + sd +
                          "\\MemoryCards\\PS1\\SCES-00344\\SCES-00344-1.mcd\n"
                          "3 saves split into 3 game cards.\n"
                          "The old contents of the game card changed are kept with the backups.");
  program.answer(box, IDOK);
  const Bytes demo_bytes = read_file(demo_card);
  ASSERT_EQ(demo_bytes.size(), kCardSize);
  // KEPT stays where it was, DEMO joins it in the next free slot.
  EXPECT_TRUE(std::equal(demo_bytes.begin() + 8192, demo_bytes.begin() + 16384, existing.bytes.begin() + 8192));
  EXPECT_TRUE(std::equal(demo_bytes.begin() + 16384, demo_bytes.begin() + 24576, sample_card().bytes.begin() + 8192));

  // Back: a new card of the three games' saves, KEPT among them, by game.
  program.choose_system_menu_item(kGatherCards);
  fill_in(program, "Gather Game Cards", sd);
  program.expect_box("Warning", kLoss, IDYES);
  box = program.wait_box();
  EXPECT_EQ(box.caption, "Gather Game Cards");
  EXPECT_NE(box.text.find("4 saves gathered from 3 cards.\n\nSave the card with \"Save MC\""), std::string::npos)
      << box.text;
  program.answer(box, IDOK);
  ASSERT_TRUE(wait_until([&] { return program.text(IDC_COUNTER) == "7/15"; })) << program.text(IDC_COUNTER);
  select(0, "3 Blocks, Europe, SCES-00344 : RACE");
  select(5, "1 Block, America, SLUS-00001 : DEMO");
  select(6, "1 Block, America, SLUS-00001 : KEPT");
  // An undoable step: Undo gives the card opened before back.
  program.choose_system_menu_item(kUndo);
  ASSERT_TRUE(wait_until([&] { return program.text(IDC_COUNTER) == "6/15"; }));
  EXPECT_EQ(saved_card(), card_bytes(sample_card()));

  // A folder with no card gathers nothing and leaves the card as it is.
  program.choose_system_menu_item(kGatherCards);
  fill_in(program, "Gather Game Cards", folder.path("nothing"));
  program.expect_box("Gather Game Cards", folder.path("nothing") + ": No such file or folder.");
  EXPECT_EQ(program.text(IDC_COUNTER), "6/15");
}

}  // namespace
