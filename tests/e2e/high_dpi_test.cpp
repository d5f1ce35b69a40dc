// The window on a screen of 144 and 192 dots per inch (150 % and 200 %), set
// as Windows' display setting stores it (HKCU\Control Panel\Desktop,
// LogPixels; Wine reads it at a program's start): the dialog scales by its
// font, and every icon pixel is a square of whole screen pixels, never
// blurred: 3 x 3 at 150 %, 4 x 4 at 200 %, the frames 1 and 2 pixels wide.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

#include "resources/resource_ids.h"
#include "tests/e2e/driver.h"
#include "tests/e2e/e2e_cards.h"

namespace {

const char kDesktop[] = "Control Panel\\Desktop";

// Colour index (1 red, 2 green, 3 blue) of icon pixel (x, y): no two
// neighbouring squares alike along a row, so a square one pixel off shows.
int index_at(int x, int y) { return 1 + (x * x + y) % 3; }

// A one-block save whose first icon frame is that pattern.
CardImage patterned_card() {
  CardImage card = blank_card();
  SaveSpec save;
  save.name = "BASLUS-00096DPI";
  put_save(card, save, {0});
  uint8_t* icon = card.bytes.data() + kBlockSize + kFrameSize;  // the block's second frame
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; x += 2) icon[y * 8 + x / 2] = uint8_t(index_at(x, y) | index_at(x + 1, y) << 4);
  return card;
}

class HighDpi : public testing::TestWithParam<int> {
 protected:
  void SetUp() override { set_log_pixels(GetParam()); }
  void TearDown() override { set_log_pixels(96); }
  static void set_log_pixels(int dpi) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kDesktop, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const DWORD value = DWORD(dpi);
    RegSetValueExA(key, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
  }
  TempFolder folder;
};

TEST_P(HighDpi, IconsAreSquaresOfWholePixelsAndTheDialogScalesByItsFont) {
  const int dpi = GetParam();
  const int pixel = 2 * dpi / 96, frame = dpi / 96;
  write_file(folder.path("dpi.mcr"), card_bytes(patterned_card()));
  Program program("quillcrest.exe", {}, false, {folder.path("dpi.mcr")});
  ASSERT_TRUE(wait_until([&] { return program.text(IDC_COUNTER) == "1/15"; }));
  // 23 dialog units wide: 35 pixels at 96 DPI.
  const RECT slot = program.control_rect(IDC_FIRST_SLOT);
  EXPECT_NEAR(slot.right - slot.left, 35 * dpi / 96, 3);
  ASSERT_GE(slot.right - slot.left, 2 * frame + 16 * pixel);

  const Rgb colours[] = {kBlack, kRed, kGreen, kBlue};
  int width = 0, height = 0;
  std::vector<Rgb> shown;
  // The icon as far as the slot's frame, drawn over its foot, lets it show
  // (its last row at 96 DPI, as ever; the slot's height follows the font,
  // the icon whole pixels): every pixel in its square. The screen catches up
  // within a few of Wine's surface updates.
  const auto icon_pixels_right = [&] {
    shown = program.pixels(IDC_FIRST_SLOT, width, height);
    if (shown.size() != size_t(width) * height) return false;
    const int columns = std::min(16 * pixel, width - 3 * frame), rows = std::min(16 * pixel, height - 2 * frame);
    if (columns < 15 * pixel || rows < 14 * pixel) return false;
    for (int y = 0; y < rows; ++y)
      for (int x = 0; x < columns; ++x)
        if (shown[size_t(frame + y) * width + size_t(frame + x)] != colours[index_at(x / pixel, y / pixel)])
          return false;
    return true;
  };
  EXPECT_TRUE(wait_until(icon_pixels_right)) << "the icon is not drawn in squares of " << pixel << " pixels";
  // The frame inside the slot: `frame` pixels of black, then the icon.
  for (int x = 0; x < frame; ++x) EXPECT_EQ(shown[size_t(height / 2) * width + size_t(x)], kBlack) << x;
  EXPECT_EQ(shown[size_t(height / 2) * width + size_t(frame)], colours[index_at(0, (height / 2 - frame) / pixel)]);
  // Kept with the test output where the window fits the tests' screen.
  RECT window = {};
  GetWindowRect(program.window(), &window);
  if (window.right - window.left <= GetSystemMetrics(SM_CXSCREEN)) {
    program.move_to(0, 0);
    program.save_screenshot(build_folder() + "\\..\\main-window-" + std::to_string(dpi) + "dpi.bmp");
  }
}

INSTANTIATE_TEST_SUITE_P(Screens, HighDpi, testing::Values(96, 144, 192),
                         [](const testing::TestParamInfo<int>& info) { return std::to_string(info.param) + "Dpi"; });

}  // namespace
