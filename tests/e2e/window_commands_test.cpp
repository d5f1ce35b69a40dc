// The window's menus and keys: a slot's menu, the system menu's items,
// Undo and Redo, and the keys of the buttons.
#include <gtest/gtest.h>

#include "resources/resource_ids.h"
#include "tests/e2e/saves_fixture.h"

namespace {

const char kDeleteQuestion[] = "Do you want to delete the selected save ?";

CardImage sample_without_race() {
  CardImage card = sample_card();
  for (int slot = 3; slot <= 5; ++slot) set_state(card, slot, uint8_t(0xA1 + slot - 3));
  return card;
}

TEST_F(Saves, KeysRunTheButtonsCommands) {
  write_file(folder.path("sample.mcr"), card_bytes(sample_card()));
  program.type_keys({VK_CONTROL, 'O'});
  program.choose_file(folder.path("sample.mcr"));
  ASSERT_TRUE(wait_until([&] { return program.text(IDC_COUNTER) == "6/15"; }));
  select(0, "1 Block, America, SLUS-00001 : DEMO");
  program.type_keys({VK_CONTROL, 'E'});
  program.choose_file(folder.path("demo"));
  ASSERT_TRUE(wait_until([&] { return read_file(folder.path("demo.mcs")).size() == 128 + 8192; }));

  program.type_keys({VK_DELETE});
  program.expect_box("Warning", kDeleteQuestion, IDNO);
  EXPECT_EQ(program.text(IDC_COUNTER), "6/15");
  program.type_keys({VK_DELETE});
  program.expect_box("Warning", kDeleteQuestion, IDYES);
  ASSERT_TRUE(wait_until([&] { return program.text(IDC_COUNTER) == "5/15"; }));
  program.type_keys({VK_CONTROL, 'I'});
  program.choose_file(folder.path("demo.mcs"));
  ASSERT_TRUE(wait_until([&] { return program.text(IDC_COUNTER) == "6/15"; }));
  program.type_keys({VK_CONTROL, 'S'});
  program.choose_file(folder.path("saved.mcr"));
  ASSERT_TRUE(wait_until([&] { return read_file(folder.path("saved.mcr")) == card_bytes(sample_card()); }));
  program.type_keys({VK_CONTROL, 'N'});
  program.expect_box("Warning", kLoss, IDYES);
  EXPECT_TRUE(wait_until([&] { return program.text(IDC_COUNTER) == "0/15"; }));
}

TEST_F(Saves, UndoAndRedoFollowADeleteAndAnImportUntilACardIsOpened) {
  open(sample_card(), "6/15");
  select(4, "3 Blocks, Europe, SCES-00344 : RACE");
  program.click(IDC_DELETE_SAVE);
  ASSERT_TRUE(wait_until([&] { return program.text(IDC_COUNTER) == "3/15"; }));
  SaveSpec two;
  two.blocks = 2;
  import("two.mcs", mcs_file(two));
  ASSERT_TRUE(wait_until([&] { return program.text(IDC_COUNTER) == "5/15"; }));

  program.type_keys({VK_CONTROL, 'Z'});
  ASSERT_TRUE(wait_until([&] { return program.text(IDC_COUNTER) == "3/15"; }));
  EXPECT_EQ(saved_card(), card_bytes(sample_without_race()));
  EXPECT_TRUE(shows(program, slot_corner, 3, kWhite));
  program.choose_system_menu_item(kUndo);
  ASSERT_TRUE(wait_until([&] { return program.text(IDC_COUNTER) == "6/15"; }));
  EXPECT_EQ(saved_card(), card_bytes(sample_card()));
  EXPECT_TRUE(shows(program, slot_colour, 3, kRed));
  program.type_keys({VK_CONTROL, 'Z'});  // nothing before the card was opened
  program.type_keys({VK_CONTROL, 'Y'});
  ASSERT_TRUE(wait_until([&] { return program.text(IDC_COUNTER) == "3/15"; }));
  program.choose_system_menu_item(kRedo);
  ASSERT_TRUE(wait_until([&] { return program.text(IDC_COUNTER) == "5/15"; }));
  program.fence();
  EXPECT_FALSE(program.find_box());

  // "New MC" is undone too; opening a card starts again.
  program.click(IDC_NEW_CARD);
  program.expect_box("Warning", kLoss, IDYES);
  ASSERT_TRUE(wait_until([&] { return program.text(IDC_COUNTER) == "0/15"; }));
  program.type_keys({VK_CONTROL, 'Z'});
  ASSERT_TRUE(wait_until([&] { return program.text(IDC_COUNTER) == "5/15"; }));
  open(blank_card(), "0/15");
  program.type_keys({VK_CONTROL, 'Z'});
  program.fence();
  EXPECT_EQ(program.text(IDC_COUNTER), "0/15");
}

TEST_F(Saves, ASlotsMenuExportsInTheChosenFormatDeletesAndRestores) {
  open(sample_card(), "6/15");
  program.choose_slot_menu_item(4, kExportSaveAs);  // a further block stands for its save
  program.choose_file_type(2);  // "PSV Save File, signed"
  program.choose_file(folder.path("race"));
  ASSERT_TRUE(wait_until([&] { return read_file(folder.path("race.psv")).size() == 0x84 + 3 * 8192; }));
  EXPECT_EQ(read_file(folder.path("race.psv"))[1], 'V');
  program.choose_slot_menu_item(3, kExportSaveAs);
  program.choose_file(folder.path("race.psx"));  // the typed extension wins over the type
  ASSERT_TRUE(wait_until([&] { return read_file(folder.path("race.psx")).size() == 54 + 3 * 8192; }));

  program.choose_slot_menu_item(3, kDeleteSave);
  ASSERT_TRUE(wait_until([&] { return program.text(IDC_COUNTER) == "3/15"; }));
  select(3, "Deleted save: RACE");
  EXPECT_EQ(program.text(IDC_TITLE), "Empty Block");
  EXPECT_TRUE(shows(program, slot_corner, 3, kWhite));
  program.choose_slot_menu_item(3, kRestoreDeletedSave);
  ASSERT_TRUE(wait_until([&] { return program.text(IDC_COUNTER) == "6/15"; }));
  EXPECT_EQ(program.text(IDC_INFO), "3 Blocks, Europe, SCES-00344 : RACE");
  EXPECT_EQ(saved_card(), card_bytes(sample_card()));

  // A block taken by another save since: the reason, and nothing changes.
  CardImage reused = sample_without_race();
  put_save(reused, SaveSpec{}, {4});
  open(reused, "4/15");
  program.choose_slot_menu_item(3, kRestoreDeletedSave);
  program.expect_box("Error", "Cannot undelete slot 4: the block in slot 5 now belongs to another save.");
  EXPECT_EQ(saved_card(), card_bytes(reused));
}

TEST(SlotMenu, CopiesASaveIntoACardFileInItsOwnFormatAfterBackingItUp) {
  TempFolder folder;
  const std::string app_data = folder.path("appdata");
  Program program("quillcrest.exe", {{"LOCALAPPDATA", app_data}});
  write_file(folder.path("sample.mcr"), card_bytes(sample_card()));
  CardImage target = blank_card();
  add_save(target, SaveSpec{});
  const std::string vmp = folder.path("SCEVMC0.VMP");
  write_file(vmp, vmp_file(target));
  open_card(program, folder.path("sample.mcr"));
  ASSERT_TRUE(wait_until([&] { return program.text(IDC_COUNTER) == "6/15"; }));

  program.choose_slot_menu_item(1, kCopySaveToCardFile);
  program.choose_file(vmp);
  ASSERT_TRUE(wait_until([&] { return read_file(vmp) != vmp_file(target); }));
  EXPECT_EQ(read_file(vmp).size(), 0x80 + kCardSize);
  open_card(program, vmp, true);  // signed again: no warning; slot 0's save and the copy
  ASSERT_TRUE(wait_until([&] { return program.text(IDC_COUNTER) == "3/15"; }));
  EXPECT_FALSE(program.find_box());
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((app_data + "\\Quillcrest\\backups\\*.mcr").c_str(), &found);
  ASSERT_NE(search, INVALID_HANDLE_VALUE) << "no backup of the card file";
  EXPECT_EQ(read_file(app_data + "\\Quillcrest\\backups\\" + found.cFileName), card_bytes(target));
  EXPECT_FALSE(FindNextFileA(search, &found));
  FindClose(search);
}

TEST_F(Saves, CheckCardTellsEachFaultWithItsFrames) {
  CardImage damaged = sample_card();
  break_checksum(damaged, 3);
  open(damaged, "4/15");
  program.choose_system_menu_item(kCheckCard);
  HWND dialog = program.wait_dialog("Check Card");
  ASSERT_TRUE(dialog);
  EXPECT_EQ(text_of(GetDlgItem(dialog, IDC_CHECK_REPORT)),
            "1 fault found:\r\n\r\nFrame 3: The directory frame of slot 3 is damaged (its checksum is "
            "wrong): the slot shows as corrupted, and so does any save whose chain passes it.");
  post_click(GetDlgItem(dialog, IDCANCEL));
  ASSERT_TRUE(wait_until([&] { return !IsWindow(dialog); }));
  open(sample_card(), "6/15");
  program.choose_system_menu_item(kCheckCard);
  dialog = program.wait_dialog("Check Card");
  ASSERT_TRUE(dialog);
  EXPECT_EQ(text_of(GetDlgItem(dialog, IDC_CHECK_REPORT)), "The card is sound.");
  post_click(GetDlgItem(dialog, IDCANCEL));
}

TEST(SystemMenu, NewWindowStartsAnotherProgramBesideThisOne) {
  Program program;
  program.choose_system_menu_item(kNewWindow);
  // Without an adaptor, it first says so, as this one did.
  HWND box = nullptr;
  ASSERT_TRUE(wait_until([&] { return (box = other_window(program.process_id(), "USB Error")) != nullptr; }));
  PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
  HWND other = nullptr;
  ASSERT_TRUE(wait_until([&] {
    return (other = other_window(program.process_id(), "Quillcrest - Ventrobel [2019]")) != nullptr;
  }));
  EXPECT_TRUE(close_other_window(other));
  EXPECT_TRUE(program.running());
}

}  // namespace
