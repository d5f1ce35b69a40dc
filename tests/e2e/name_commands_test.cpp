// A slot's "Rename Save..." and, on a GME card, "Edit Comment...": each an
// undoable step, a refusal telling why and changing nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "resources/resource_ids.h"
#include "tests/e2e/saves_fixture.h"

namespace {

const char kCommentsNotKept[] = "The GME comments of the saves are not kept: only a GME file holds them.";

std::string text_in(HWND dialog, int id) { return text_of(GetDlgItem(dialog, id)); }

constexpr size_t kGmeHeader = 3904;

// The comment a GME file keeps for a slot, and whether the card follows.
std::string gme_comment(const Bytes& gme, int slot) {
  if (gme.size() != kGmeHeader + kCardSize) return "(no GME file)";
  const char* text = reinterpret_cast<const char*>(gme.data() + 0x40 + slot * 256);
  return std::string(text, strnlen(text, 256));
}
bool holds_card(const Bytes& gme, const CardImage& card) {
  return gme.size() == kGmeHeader + kCardSize && std::equal(card.bytes.begin(), card.bytes.end(), gme.begin() + kGmeHeader);
}

TEST_F(Saves, RenamesASaveFromItsThreePartsInOneUndoableStep) {
  open(sample_card(), "6/15");
  program.choose_slot_menu_item(4, kRenameSave);  // a further block stands for its save
  HWND dialog = program.wait_dialog("Rename Save");
  ASSERT_TRUE(dialog);
  EXPECT_EQ(text_in(dialog, IDC_RENAME_CODE), "SCES-00344");
  EXPECT_EQ(text_in(dialog, IDC_RENAME_IDENTIFIER), "RACE");
  EXPECT_EQ(text_in(dialog, IDC_RENAME_INFO), "3 Blocks, Europe, SCES-00344 : RACE");
  // The American release of the game: the region and the product code.
  program.select_combo(dialog, IDC_RENAME_REGION, 0);
  set_text(GetDlgItem(dialog, IDC_RENAME_CODE), "SCUS-94300");
  ASSERT_TRUE(wait_until([&] { return text_in(dialog, IDC_RENAME_INFO) == "3 Blocks, America, SCUS-94300 : RACE"; }))
      << text_in(dialog, IDC_RENAME_INFO);
  EXPECT_EQ(text_in(dialog, IDC_RENAME_NAME), "BASCUS-94300RACE");
  post_click(GetDlgItem(dialog, IDOK));
  ASSERT_TRUE(wait_until([&] { return program.text(IDC_INFO) == "3 Blocks, America, SCUS-94300 : RACE"; }))
      << program.text(IDC_INFO);
  CardImage renamed = sample_card();
  for (int slot : {3, 4, 5}) {
    std::copy_n("BASCUS-94300RACE", 16, renamed.bytes.data() + (slot + 1) * kFrameSize + kDirName);
    fix_checksum(renamed, slot + 1);
  }
  EXPECT_EQ(saved_card(), card_bytes(renamed));

  // Another save's name is refused, the card unchanged.
  program.choose_slot_menu_item(3, kRenameSave);
  dialog = program.wait_dialog("Rename Save");
  ASSERT_TRUE(dialog);
  set_text(GetDlgItem(dialog, IDC_RENAME_CODE), "SLUS-00001");
  set_text(GetDlgItem(dialog, IDC_RENAME_IDENTIFIER), "DEMO");
  post_click(GetDlgItem(dialog, IDOK));
  program.expect_box("Error", "The save in slot 1 is named BASLUS-00001DEMO already: a game would find only one of the two.");
  EXPECT_EQ(saved_card(), card_bytes(renamed));

  program.type_keys({VK_CONTROL, 'Z'});
  program.fence();
  select(3, "3 Blocks, Europe, SCES-00344 : RACE");
  EXPECT_EQ(saved_card(), card_bytes(sample_card()));
}

TEST_F(Saves, EditsAGmeCardsCommentWhichAGmeFileKeepsAndOthersDoNot) {
  Bytes gme = gme_file(sample_card());
  for (int slot = 0; slot < kSlotCount; ++slot) set_gme_comment(gme, slot, "");
  write_file(folder.path("card.gme"), gme);
  open_card(program, folder.path("card.gme"));
  ASSERT_TRUE(wait_until([&] { return program.text(IDC_COUNTER) == "6/15"; }));
  program.choose_slot_menu_item(1, kEditComment);
  HWND dialog = program.wait_dialog("Edit Comment");
  ASSERT_TRUE(dialog);
  EXPECT_EQ(text_in(dialog, IDC_COMMENT_SAVE), "The comment the GME file keeps beside BISLPSP00001GAME:");
  set_text(GetDlgItem(dialog, IDC_COMMENT_TEXT), "pocket monsters");
  post_click(GetDlgItem(dialog, IDOK));
  ASSERT_TRUE(wait_until([&] { return !IsWindow(dialog); }));

  program.click(IDC_SAVE_CARD);
  program.choose_file(folder.path("saved.gme"));
  ASSERT_TRUE(wait_until([&] { return gme_comment(read_file(folder.path("saved.gme")), 1) == "pocket monsters"; }))
      << gme_comment(read_file(folder.path("saved.gme")), 1);
  EXPECT_TRUE(holds_card(read_file(folder.path("saved.gme")), sample_card()));
  // Saved raw, the window says once that the comments stay behind.
  program.click(IDC_SAVE_CARD);
  program.choose_file(folder.path("saved.mcr"));
  program.expect_box("Warning", kCommentsNotKept);
  EXPECT_EQ(read_file(folder.path("saved.mcr")), card_bytes(sample_card()));

  // Undone, the file is saved as it was opened.
  program.type_keys({VK_CONTROL, 'Z'});
  program.fence();
  program.click(IDC_SAVE_CARD);
  program.choose_file(folder.path("undone.gme"));
  ASSERT_TRUE(wait_until([&] { return holds_card(read_file(folder.path("undone.gme")), sample_card()); }));
  EXPECT_EQ(gme_comment(read_file(folder.path("undone.gme")), 1), "");
}

}  // namespace
