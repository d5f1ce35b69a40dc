#include <gtest/gtest.h>

#include <set>

#include "resources/resource_ids.h"
#include "tests/e2e/driver.h"
#include "tests/e2e/e2e_cards.h"

namespace {

std::wstring widen(const std::string& shift_jis) {
  wchar_t wide[128] = {};
  MultiByteToWideChar(932, 0, shift_jis.data(), int(shift_jis.size()), wide, 127);
  return wide;
}

class SlotView : public ::testing::Test {
 protected:
  void SetUp() override {
    write_file(folder.path("sample.mcr"), card_bytes(sample_card()));
    open_card(program, folder.path("sample.mcr"));
    ASSERT_TRUE(wait_until([&] { return program.text(IDC_COUNTER) == "6/15"; }));
  }
  // The colours slot `slot` shows over about two seconds of animation.
  std::set<std::tuple<int, int, int>> colours_over_time(int slot) {
    std::set<std::tuple<int, int, int>> seen;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 2200) {
      const Rgb c = slot_colour(program, slot);
      seen.insert({c.r, c.g, c.b});
      Sleep(50);
    }
    return seen;
  }
  TempFolder folder;
  Program program;
};

TEST_F(SlotView, ClickingASaveShowsItsTextsIconAndGreenFrames) {
  program.click_static(IDC_FIRST_SLOT);
  ASSERT_TRUE(wait_until([&] { return program.text(IDC_INFO) == "1 Block, America, SLUS-00001 : DEMO"; }))
      << program.text(IDC_INFO);
  EXPECT_EQ(program.text(IDC_TITLE), "DEMO");
  EXPECT_EQ(program.text(IDC_SAVE_GROUP), "BASLUS-00001DEMO");
  EXPECT_EQ(program.pixel(IDC_LARGE_ICON, 17, 17), kRed);
  EXPECT_TRUE(shows(program, slot_frame, 0, kFrameGreen));
  for (int slot = 1; slot < kSlotCount; ++slot) EXPECT_TRUE(shows(program, slot_frame, slot, kBlack)) << slot;
  EXPECT_EQ(program.pixel(IDC_LARGE_ICON, 0, 10), kBlack);
}

TEST_F(SlotView, AFurtherBlockSelectsItsWholeSave) {
  program.click_static(IDC_FIRST_SLOT + 2);  // the PocketStation save's second block
  ASSERT_TRUE(wait_until([&] {
    return program.text(IDC_INFO) == "2 Blocks, Japan, SLPS-00001 : PocketStation : GAME";
  })) << program.text(IDC_INFO);
  EXPECT_EQ(program.wide_text(IDC_TITLE), widen(kPocketTitle));
  EXPECT_EQ(program.text(IDC_SAVE_GROUP), "BISLPSP00001GAME");
  EXPECT_TRUE(shows(program, slot_frame, 1, kFrameGreen));
  EXPECT_TRUE(shows(program, slot_frame, 2, kFrameGreen));
  EXPECT_TRUE(shows(program, slot_frame, 0, kBlack));
  EXPECT_TRUE(shows(program, slot_frame, 3, kBlack));

  program.click_static(IDC_FIRST_SLOT + 9);
  ASSERT_TRUE(wait_until([&] { return program.text(IDC_INFO) == "Empty Block"; }));
  EXPECT_EQ(program.text(IDC_TITLE), "Empty Block");
  EXPECT_EQ(program.text(IDC_SAVE_GROUP), "Empty Block");
  EXPECT_TRUE(shows(program, slot_frame, 9, kFrameGreen));
  EXPECT_TRUE(shows(program, slot_frame, 1, kBlack));
}

TEST_F(SlotView, IconsAnimateByTheirFrameCountAndStillIconsStayStill) {
  const auto still = colours_over_time(0);
  EXPECT_EQ(still, (std::set<std::tuple<int, int, int>>{{248, 0, 0}}));
  const auto two = colours_over_time(2);  // a further block shows its owner's icon
  EXPECT_EQ(two, (std::set<std::tuple<int, int, int>>{{248, 0, 0}, {0, 248, 0}}));
  const auto three = colours_over_time(3);
  EXPECT_EQ(three, (std::set<std::tuple<int, int, int>>{{248, 0, 0}, {0, 248, 0}, {0, 0, 248}}));
}

TEST_F(SlotView, CoveredWindowComesBackWhole) {
  program.click_static(IDC_FIRST_SLOT + 1);
  ASSERT_TRUE(wait_until([&] { return slot_frame(program, 1) == kFrameGreen; }));
  ASSERT_TRUE(cover_and_uncover(program));
  EXPECT_TRUE(shows(program, slot_colour, 0, kRed));
  EXPECT_TRUE(shows(program, slot_frame, 1, kFrameGreen));
  EXPECT_TRUE(shows(program, slot_frame, 2, kFrameGreen));
  EXPECT_TRUE(shows(program, slot_frame, 0, kBlack));
  EXPECT_EQ(program.pixel(IDC_LARGE_ICON, 17, 17), kRed);
  EXPECT_EQ(program.pixel(IDC_FIRST_SLOT + 14, 4, 4), kBlack);
  EXPECT_EQ(program.pixel(IDC_FIRST_SLOT + 14, 1, 1), kWhite);
}

// Once "Open MC/GME" has stopped the animation, a repaint shows each icon
// as it stood, whatever the ticks that went by since.
TEST_F(SlotView, StoppedIconsKeepTheirFrameAcrossRepaints) {
  program.click(IDC_OPEN_CARD);
  program.expect_box("Warning", "The current loaded Memory Card Data will be lost, continue ?", IDYES);
  program.cancel_file_dialog();
  Sleep(600);  // a tick may have been on its way
  const Rgb stopped = slot_colour(program, 3);
  for (int repaint = 0; repaint < 3; ++repaint) {  // over three ticks, one per icon frame
    ASSERT_TRUE(cover_and_uncover(program));
    EXPECT_TRUE(shows(program, slot_colour, 0, kRed));
    Sleep(300);
    EXPECT_EQ(slot_colour(program, 3), stopped) << "after repaint " << repaint;
    Sleep(300);
  }
}

TEST_F(SlotView, ScreenshotOfAnOpenCard) {
  program.click_static(IDC_FIRST_SLOT + 3);
  ASSERT_TRUE(wait_until([&] { return program.text(IDC_TITLE) == "RACE"; }));
  Sleep(600);
  EXPECT_TRUE(program.save_screenshot(build_folder() + "\\..\\main-window.bmp"));
}

}  // namespace
