#include <gtest/gtest.h>

#include <cstring>

#include "resources/resource_ids.h"
#include "tests/e2e/saves_fixture.h"

namespace {

const char kCaption[] = "Import Raw Save File";

class RawImport : public Saves {
 protected:
  void SetUp() override { open(sample_card(), "6/15"); }
  // Imports a raw save and returns the naming dialog it opens.
  HWND start(const Bytes& raw) {
    import("save.bin", raw);
    return program.wait_dialog(kCaption);
  }
  std::string generated(HWND dialog) { return text_of(GetDlgItem(dialog, IDC_NAME_GENERATED)); }
  void fill(HWND dialog, int region, int licensing, int type, const char* number, const char* part) {
    program.select_combo(dialog, IDC_NAME_REGION, region);
    program.select_combo(dialog, IDC_NAME_LICENSING, licensing);
    program.select_combo(dialog, IDC_NAME_TYPE, type);
    set_text(GetDlgItem(dialog, IDC_NAME_NUMBER), number);
    set_text(GetDlgItem(dialog, IDC_NAME_FILE_PART), part);
  }
  void wait_closed(HWND dialog) {
    ASSERT_TRUE(wait_until([&] { return !IsWindow(dialog); })) << "the dialog stayed";
    ASSERT_TRUE(wait_until([&] { return program.window_visible(); })) << "the main window stayed hidden";
  }
};

TEST_F(RawImport, TheDialogComposesTheNameFromItsControls) {
  HWND dialog = start(raw_save_file(SaveSpec{}));
  ASSERT_TRUE(dialog);
  EXPECT_FALSE(program.window_visible());
  EXPECT_EQ(generated(dialog), "...");
  GUITHREADINFO focus = {};
  focus.cbSize = sizeof focus;
  GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &focus);
  EXPECT_EQ(focus.hwndFocus, GetDlgItem(dialog, IDOK));
  HWND region = GetDlgItem(dialog, IDC_NAME_REGION);
  wchar_t item[32] = {};
  SendMessageW(region, CB_GETLBTEXT, 2, reinterpret_cast<LPARAM>(item));
  EXPECT_EQ(std::wstring(item), L"Europe");

  program.select_combo(dialog, IDC_NAME_REGION, 1);
  EXPECT_EQ(generated(dialog), "");  // no name until all three lists have a choice
  program.select_combo(dialog, IDC_NAME_LICENSING, 1);
  program.select_combo(dialog, IDC_NAME_TYPE, 0);
  EXPECT_EQ(generated(dialog), "BASLUS-00000");
  set_text(GetDlgItem(dialog, IDC_NAME_NUMBER), "1234");
  set_text(GetDlgItem(dialog, IDC_NAME_FILE_PART), "SAVE");
  EXPECT_EQ(generated(dialog), "BASLUS-01234SAVE");
  post_click(GetDlgItem(dialog, IDC_NAME_POCKETSTATION));
  EXPECT_TRUE(wait_until([&] { return generated(dialog) == "BASLUSP01234SAVE"; })) << generated(dialog);
  post_click(GetDlgItem(dialog, IDC_NAME_POCKETSTATION));
  EXPECT_TRUE(wait_until([&] { return generated(dialog) == "BASLUS-01234SAVE"; }));

  post_click(GetDlgItem(dialog, IDOK));
  wait_closed(dialog);
  ASSERT_TRUE(wait_until([&] { return program.text(IDC_COUNTER) == "7/15"; }));
  select(6, "1 Block, America, SLUS-01234 : SAVE");
  EXPECT_EQ(program.text(IDC_SAVE_GROUP), "BASLUS-01234SAVE");
}

TEST_F(RawImport, TheDialogOpensFilledInWithTheNameTheFileNameHolds) {
  import("Suikoden 2-BASLUS-00958GS2-7.srm", raw_save_file(SaveSpec{}));
  HWND dialog = program.wait_dialog(kCaption);
  ASSERT_TRUE(dialog);
  EXPECT_EQ(generated(dialog), "BASLUS-00958GS2-7");
  EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_NAME_REGION, CB_GETCURSEL, 0, 0), 1);     // America
  EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_NAME_LICENSING, CB_GETCURSEL, 0, 0), 1);  // Sony Licensed
  EXPECT_EQ(text_of(GetDlgItem(dialog, IDC_NAME_NUMBER)), "00958");
  EXPECT_EQ(text_of(GetDlgItem(dialog, IDC_NAME_FILE_PART)), "GS2-7");
  post_click(GetDlgItem(dialog, IDOK));
  wait_closed(dialog);
  ASSERT_TRUE(wait_until([&] { return program.text(IDC_COUNTER) == "7/15"; }));
  select(6, "1 Block, America, SLUS-00958 : GS2-7");

  // A product code the lists cannot give: the name stands until all three
  // lists have a choice.
  import("BISCAJ-20001GAME.bin", raw_save_file(SaveSpec{}));
  dialog = program.wait_dialog(kCaption);
  ASSERT_TRUE(dialog);
  EXPECT_EQ(generated(dialog), "BISCAJ-20001GAME");
  program.select_combo(dialog, IDC_NAME_REGION, 2);
  EXPECT_EQ(generated(dialog), "BISCAJ-20001GAME");
  post_click(GetDlgItem(dialog, IDOK));
  wait_closed(dialog);
  ASSERT_TRUE(wait_until([&] { return program.text(IDC_COUNTER) == "8/15"; }));
  select(7, "1 Block, Japan, SCAJ-20001 : GAME");
}

TEST_F(RawImport, ImportWithoutAllChoicesAsksForThemAndExitImportsNothing) {
  HWND dialog = start(raw_save_file(SaveSpec{}));
  ASSERT_TRUE(dialog);
  program.select_combo(dialog, IDC_NAME_REGION, 0);
  program.select_combo(dialog, IDC_NAME_LICENSING, 0);
  post_click(GetDlgItem(dialog, IDOK));
  program.expect_box("Error", "Missing informations !");
  EXPECT_TRUE(IsWindowVisible(dialog));
  EXPECT_EQ(generated(dialog), "");
  program.select_combo(dialog, IDC_NAME_TYPE, 0);
  EXPECT_EQ(generated(dialog), "BISCPS-00000");
  post_click(GetDlgItem(dialog, IDCANCEL));
  wait_closed(dialog);
  program.fence();
  EXPECT_EQ(program.text(IDC_COUNTER), "6/15");

  dialog = start(raw_save_file(SaveSpec{}));
  ASSERT_TRUE(dialog);
  fill(dialog, 2, 0, 2, "99999", "ABCDEFGH");
  EXPECT_EQ(generated(dialog), "BESCEM-99999ABCDEFGH");
  program.press_key(VK_ESCAPE);  // Escape is Exit
  wait_closed(dialog);
  program.fence();
  EXPECT_EQ(program.text(IDC_COUNTER), "6/15");
  EXPECT_EQ(saved_card(), card_bytes(sample_card()));
}

TEST_F(RawImport, TheCloseBoxKeepsANameComposedBefore) {
  HWND dialog = start(raw_save_file(SaveSpec{}));
  ASSERT_TRUE(dialog);
  fill(dialog, 2, 0, 2, "99999", "ABCDEFGH");
  PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
  wait_closed(dialog);
  ASSERT_TRUE(wait_until([&] { return program.text(IDC_COUNTER) == "7/15"; }));
  select(6, "1 Block, Europe, SCEM-99999 : ABCDEFGH");
  EXPECT_EQ(program.text(IDC_SAVE_GROUP), "BESCEM-99999ABCDEFGH");
}

TEST_F(RawImport, ARaggedFileIsImportedOnlyAfterYesWithItsLastBlockZeroFilled) {
  SaveSpec save;
  save.blocks = 2;
  save.seed = 0x70;
  Bytes ragged = raw_save_file(save);
  ragged.resize(8192 + 300);
  import("ragged.bin", ragged);
  program.expect_box("Warning", "Binary File is not multiple of 8k !\nDo you want to import it anyway ?", IDNO);
  program.fence();
  EXPECT_FALSE(program.find_dialog(kCaption));
  EXPECT_EQ(program.text(IDC_COUNTER), "6/15");

  import("ragged.bin", ragged);
  program.expect_box("Warning", "Binary File is not multiple of 8k !\nDo you want to import it anyway ?", IDYES);
  HWND dialog = program.wait_dialog(kCaption);
  ASSERT_TRUE(dialog);
  fill(dialog, 1, 1, 1, "42", "RAG");
  post_click(GetDlgItem(dialog, IDOK));
  wait_closed(dialog);
  ASSERT_TRUE(wait_until([&] { return program.text(IDC_COUNTER) == "8/15"; }));
  const Bytes card = saved_card();
  ASSERT_EQ(card.size(), kCardSize);
  EXPECT_EQ(0, std::memcmp(card.data() + 7 * 8192, ragged.data(), 8192));
  EXPECT_EQ(0, std::memcmp(card.data() + 8 * 8192, ragged.data() + 8192, 300));
  for (size_t i = 8 * 8192 + 300; i < 9 * 8192; ++i) ASSERT_EQ(card[i], 0) << i;
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(card.data() + 7 * 128 + 10)), "BASLUD-00042RAG");
}

}  // namespace
