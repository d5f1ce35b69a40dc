#include <gtest/gtest.h>

#include <vector>

#include "resources/resource_ids.h"
#include "tests/e2e/driver.h"

namespace {

TEST(MainWindow, OpensWithItsCaptionControlsAndAnEmptyCounter) {
  Program program;
  ASSERT_TRUE(program.window());
  EXPECT_TRUE(program.window_visible());
  const std::pair<int, const char*> texts[] = {
      {IDC_NEW_CARD, "New MC"},
      {IDC_OPEN_CARD, "Open MC/GME"},
      {IDC_SAVE_CARD, "Save MC"},
      {IDC_IMPORT_SAVE, "Import Save from MCS/BIN"},
      {IDC_READ_CARD, "Read from PS3MCA"},
      {IDC_READ_ALL, "Read all Memory Card"},
      {IDC_FAST_READ, "Fast Read (Dir + Icon)"},
      {IDC_ALLOW_CORRUPTED, "Allow Corrupted Save"},
      {IDC_WRITE_CARD, "Write to PS3MCA"},
      {IDC_EXIT, "Exit"},
      {IDC_COUNTER, "0/15"},
      {IDC_DONATE_LINK, "If you like this tool, please support me via Paypal"},
      {IDC_SITE_LINK, "www.example.org"},
      {IDC_TITLE, "Title"},
      {IDC_INFO, "Info:"},
      {IDC_EXPORT_SAVE, "Export Save to MCS"},
      {IDC_DELETE_SAVE, "Delete Save"},
      {IDC_SAVE_GROUP, ""},
  };
  for (const auto& [id, text] : texts) EXPECT_EQ(program.text(id), text) << "control " << id;
  for (int id = IDC_FIRST_SLOT; id <= IDC_LAST_SLOT; ++id) EXPECT_TRUE(program.control(id)) << id;
  EXPECT_TRUE(program.control(IDC_LARGE_ICON));
  EXPECT_TRUE(program.control(IDC_PROGRESS));
  EXPECT_TRUE(program.checked(IDC_READ_ALL));
  EXPECT_FALSE(program.checked(IDC_FAST_READ));
  EXPECT_FALSE(program.checked(IDC_ALLOW_CORRUPTED));
  EXPECT_FALSE(program.find_box());
}

TEST(MainWindow, ClickingASlotWithoutACardSaysSo) {
  Program program;
  program.click_static(IDC_FIRST_SLOT + 4);
  program.expect_box("Error", "No Memory Card Loaded or Read.");
  EXPECT_EQ(program.text(IDC_INFO), "Info:");
}

TEST(MainWindow, AllowCorruptedWithoutACardChangesOnlyTheOption) {
  Program program;
  program.click_and_finish(IDC_ALLOW_CORRUPTED);
  EXPECT_TRUE(program.checked(IDC_ALLOW_CORRUPTED));
  EXPECT_FALSE(program.find_box());
  EXPECT_EQ(program.text(IDC_COUNTER), "0/15");
  EXPECT_EQ(program.text(IDC_TITLE), "Title");
  program.click_and_finish(IDC_ALLOW_CORRUPTED);
  EXPECT_FALSE(program.checked(IDC_ALLOW_CORRUPTED));
  EXPECT_FALSE(program.find_box());
}

TEST(MainWindow, RadioButtonsChooseTheReadingMode) {
  Program program;
  program.click_and_finish(IDC_FAST_READ);
  EXPECT_TRUE(program.checked(IDC_FAST_READ));
  EXPECT_FALSE(program.checked(IDC_READ_ALL));
  program.click_and_finish(IDC_READ_ALL);
  EXPECT_TRUE(program.checked(IDC_READ_ALL));
  EXPECT_FALSE(program.checked(IDC_FAST_READ));
}

TEST(MainWindow, EscapeDoesNothing) {
  Program program;
  program.press_key(VK_ESCAPE);
  program.fence();
  EXPECT_TRUE(program.running());
  EXPECT_TRUE(program.window_visible());
  EXPECT_FALSE(program.find_box());
}

TEST(MainWindow, ExitEndsTheProgramWithCodeZero) {
  Program program;
  program.click(IDC_EXIT);
  EXPECT_EQ(program.wait_exit(), std::optional<DWORD>(0));
}

TEST(MainWindow, CloseBoxEndsTheProgramWithCodeZero) {
  Program program;
  PostMessageA(program.window(), WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(program.wait_exit(), std::optional<DWORD>(0));
}

}  // namespace

namespace {

TEST(Executable, CarriesItsVersionAndProductName) {
  const std::string exe = build_folder() + "\\quillcrest.exe";
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(exe.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<char> info(size);
  ASSERT_TRUE(GetFileVersionInfoA(exe.c_str(), 0, size, info.data()));
  char* product = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\StringFileInfo\\040904B0\\ProductName",
                             reinterpret_cast<void**>(&product), &length));
  EXPECT_STREQ(product, "Quillcrest");
  VS_FIXEDFILEINFO* fixed = nullptr;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(HIWORD(fixed->dwFileVersionMS), 1u);
  EXPECT_EQ(fixed->dwFileType, DWORD(VFT_APP));
}

}  // namespace
