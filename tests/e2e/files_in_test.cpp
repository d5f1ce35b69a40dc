// Files that reach the window from outside: its command line, files dropped
// on it by the shell, and saves dragged with the mouse out of a slot, into
// another window or anywhere else.
#include <gtest/gtest.h>

#include <ole2.h>
#include <shellapi.h>

#include <cstring>

#include "resources/resource_ids.h"
#include "tests/e2e/driver.h"
#include "tests/e2e/e2e_cards.h"
#include "tests/e2e/saves_fixture.h"

namespace {

bool counter_is(const Program& program, const char* counter) {
  return wait_until([&] { return program.text(IDC_COUNTER) == counter; });
}

void select(Program& program, int slot, const std::string& info) {
  program.click_static(IDC_FIRST_SLOT + slot);
  ASSERT_TRUE(wait_until([&] { return program.text(IDC_INFO) == info; })) << program.text(IDC_INFO);
}

SaveSpec two_block_save() {
  SaveSpec save;
  save.name = "BASLUS-00777ZZ";
  save.blocks = 2;
  save.seed = 0x40;
  return save;
}

TEST(FilesIn, TheCommandLinesCardOpensFirstThenEachSaveIsImportedAndABadFileIsTold) {
  TempFolder folder;
  write_file(folder.path("save.mcs"), mcs_file(two_block_save()));
  write_file(folder.path("junk.mcs"), Bytes(20000, 0x5A));
  write_file(folder.path("card.gme"), gme_file(sample_card()));
  SaveSpec pocket;
  pocket.name = "BESLES-00042PSX";
  write_file(folder.path("one.psx"), psx_file(pocket));
  Program program("quillcrest.exe", {}, false,
                  {folder.path("save.mcs"), folder.path("junk.mcs"), folder.path("card.gme"), folder.path("one.psx")});
  program.expect_box("File Error", "Wrong File Format !\n(no SC header)");
  ASSERT_TRUE(counter_is(program, "9/15")) << program.text(IDC_COUNTER);
  select(program, 6, "2 Blocks, America, SLUS-00777 : ZZ");
  select(program, 8, "1 Block, Europe, SLES-00042 : PSX");
  select(program, 3, "3 Blocks, Europe, SCES-00344 : RACE");  // the card's own
}

TEST_F(Saves, DroppedSavesGoIntoANewCardAndADroppedCardAsksBeforeTheLoadedOneGoes) {
  write_file(folder.path("raw.bin"), raw_save_file(SaveSpec{}));
  program.drop_files({folder.path("raw.bin")});
  HWND dialog = program.wait_dialog("Import Raw Save File");
  ASSERT_TRUE(dialog);
  program.select_combo(dialog, IDC_NAME_REGION, 1);
  program.select_combo(dialog, IDC_NAME_LICENSING, 1);
  program.select_combo(dialog, IDC_NAME_TYPE, 0);
  post_click(GetDlgItem(dialog, IDOK));
  ASSERT_TRUE(counter_is(program, "1/15")) << program.text(IDC_COUNTER);
  select(0, "1 Block, America, SLUS-00000 : ");
  is_loaded_now = true;

  write_file(folder.path("card.mcr"), card_bytes(sample_card()));
  write_file(folder.path("save.mcs"), mcs_file(two_block_save()));
  program.drop_files({folder.path("card.mcr")});
  program.expect_box("Warning", kLoss, IDNO);
  program.fence();
  EXPECT_EQ(program.text(IDC_COUNTER), "1/15");
  // The save listed first still goes into the card dropped with it.
  program.drop_files({folder.path("save.mcs"), folder.path("card.mcr")});
  program.expect_box("Warning", kLoss, IDYES);
  ASSERT_TRUE(counter_is(program, "8/15")) << program.text(IDC_COUNTER);
  CardImage expected = sample_card();
  put_save(expected, two_block_save(), {6, 7});
  EXPECT_EQ(saved_card(), card_bytes(expected));
}

// A save that could not go in leaves no card behind: the window is as it
// was, with no card to save or write.
TEST_F(Saves, ADroppedSaveRefusedWithNoCardLoadedLeavesNoCard) {
  write_file(folder.path("junk.mcs"), Bytes(20000, 0x5A));
  program.drop_files({folder.path("junk.mcs")});
  program.expect_box("File Error", "Wrong File Format !\n(no SC header)");
  write_file(folder.path("raw.bin"), raw_save_file(SaveSpec{}));
  program.drop_files({folder.path("raw.bin")});
  HWND dialog = program.wait_dialog("Import Raw Save File");
  ASSERT_TRUE(dialog);
  post_click(GetDlgItem(dialog, IDCANCEL));  // not named: not imported
  ASSERT_TRUE(wait_until([&] { return !IsWindow(dialog) && program.window_visible(); }));
  program.fence();
  EXPECT_EQ(program.text(IDC_COUNTER), "0/15");
  EXPECT_EQ(program.text(IDC_INFO), "Info:");
  program.click(IDC_SAVE_CARD);
  program.expect_box("Error", "No Memory Card Loaded or Read.");
  // A card still comes when a save does go in.
  write_file(folder.path("save.mcs"), mcs_file(two_block_save()));
  program.drop_files({folder.path("junk.mcs"), folder.path("save.mcs")});
  program.expect_box("File Error", "Wrong File Format !\n(no SC header)");
  ASSERT_TRUE(counter_is(program, "2/15")) << program.text(IDC_COUNTER);
}

// Stands for Explorer or the desktop: takes the files dropped on it.
class FileDropWindow : public IDropTarget {
 public:
  explicit FileDropWindow(RECT where) {
    window_ = CreateWindowExA(WS_EX_TOPMOST, "STATIC", "", WS_POPUP | WS_VISIBLE | SS_WHITERECT, where.left,
                              where.top, where.right - where.left, where.bottom - where.top, nullptr, nullptr,
                              nullptr, nullptr);
    registered_ = window_ && RegisterDragDrop(window_, this) == S_OK;
  }
  ~FileDropWindow() {
    if (registered_) RevokeDragDrop(window_);
    if (window_) DestroyWindow(window_);
  }
  bool ready() const { return registered_; }
  POINT middle() const { return middle_of(window_); }
  std::vector<std::string> dropped;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override {
    if (IsEqualIID(id, IID_IUnknown) || IsEqualIID(id, IID_IDropTarget)) {
      *out = static_cast<IDropTarget*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject*, DWORD, POINTL, DWORD* effect) override {
    *effect = DROPEFFECT_COPY;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD* effect) override {
    *effect = DROPEFFECT_COPY;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DragLeave() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium = {};
    if (data->GetData(&format, &medium) == S_OK) {
      HDROP drop = static_cast<HDROP>(medium.hGlobal);
      for (UINT i = 0; i < DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0); ++i) {
        char path[MAX_PATH] = {};
        DragQueryFileA(drop, i, path, MAX_PATH);
        dropped.push_back(path);
      }
      ReleaseStgMedium(&medium);
    }
    *effect = DROPEFFECT_COPY;
    return S_OK;
  }

 private:
  HWND window_ = nullptr;
  bool registered_ = false;
};

class Dragging : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    write_file(folder.path("card.mcr"), card_bytes(sample_card()));
  }
  void TearDown() override { OleUninitialize(); }
  POINT slot_of(const Program& program, int slot) { return middle_of(program.control(IDC_FIRST_SLOT + slot)); }
  TempFolder folder;
};

TEST_F(Dragging, ASaveDraggedOutArrivesAsItsMcsFileNamedAsExportNamesIt) {
  Program program("quillcrest.exe", {}, false, {folder.path("card.mcr")});
  ASSERT_TRUE(counter_is(program, "6/15"));
  program.move_to(0, 0);
  FileDropWindow explorer(RECT{600, 400, 900, 700});
  ASSERT_TRUE(explorer.ready());
  drag_with_mouse(slot_of(program, 2), explorer.middle());  // the second block of BISLPSP00001GAME
  ASSERT_TRUE(pump_until([&] { return !explorer.dropped.empty(); })) << "nothing was dropped";
  ASSERT_EQ(explorer.dropped.size(), 1u);
  const std::string path = explorer.dropped[0];
  EXPECT_EQ(path.substr(path.find_last_of('\\') + 1), "BISLPSP00001GAME.mcs");
  const CardImage card = sample_card();
  Bytes expected(card.bytes.begin() + 2 * 128, card.bytes.begin() + 3 * 128);
  expected.insert(expected.end(), card.bytes.begin() + 2 * 8192, card.bytes.begin() + 4 * 8192);
  EXPECT_EQ(read_file(path), expected);
  EXPECT_EQ(program.text(IDC_INFO), "2 Blocks, Japan, SLPS-00001 : PocketStation : GAME");

  // The file lives as long as the window, which removes it when it ends.
  // (Ending, the program lets go of this window's drop target, a call that
  // this thread must serve, as Explorer serves its own.)
  program.click(IDC_EXIT);
  EXPECT_TRUE(pump_until([&] { return !program.running(); }));
  EXPECT_EQ(program.wait_exit(), std::optional<DWORD>(0));
  EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(Dragging, ASaveDraggedOntoAnotherWindowIsImportedThereAndNotBackIntoItsOwn) {
  Program source("quillcrest.exe", {}, false, {folder.path("card.mcr")});
  ASSERT_TRUE(counter_is(source, "6/15"));
  source.move_to(0, 0);
  Program target;
  target.move_to(0, 380);
  drag_with_mouse(slot_of(source, 3), slot_of(target, 5));
  // No card was loaded there: the save starts a new one.
  ASSERT_TRUE(counter_is(target, "3/15")) << target.text(IDC_COUNTER) << ", the source shows "
                                          << source.text(IDC_INFO);
  target.click(IDC_SAVE_CARD);
  target.choose_file(folder.path("target.mcr"));
  ASSERT_TRUE(wait_until([&] { return read_file(folder.path("target.mcr")).size() == kCardSize; }));
  CardImage expected = blank_card();
  put_save(expected, sample_race(), {0, 1, 2});
  EXPECT_EQ(read_file(folder.path("target.mcr")), card_bytes(expected));

  drag_with_mouse(slot_of(source, 0), slot_of(source, 10));
  // The mouse's messages come after posted ones: the drag has ended once
  // the press selected the save and the window let go of the mouse.
  ASSERT_TRUE(wait_until([&] { return source.text(IDC_INFO) == "1 Block, America, SLUS-00001 : DEMO"; }))
      << source.text(IDC_INFO) << (source.holds_mouse() ? ", holding the mouse" : "");
  ASSERT_TRUE(wait_until([&] { return !source.holds_mouse(); }));
  source.fence();
  EXPECT_EQ(source.text(IDC_COUNTER), "6/15");
  EXPECT_FALSE(source.find_box());
}

}  // namespace
