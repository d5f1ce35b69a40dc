#include <gtest/gtest.h>

#include "resources/resource_ids.h"
#include "tests/e2e/driver.h"
#include "tests/e2e/e2e_cards.h"

namespace {

TEST(CardFiles, OpeningARawImageShowsItsSlotsAndSavingItGivesTheSameBytes) {
  TempFolder folder;
  const CardImage card = sample_card();
  write_file(folder.path("sample.mcr"), card_bytes(card));
  Program program;
  open_card(program, folder.path("sample.mcr"));
  ASSERT_TRUE(wait_until([&] { return program.text(IDC_COUNTER) == "6/15"; }))
      << program.text(IDC_COUNTER);
  EXPECT_FALSE(program.find_box());
  EXPECT_TRUE(shows(program, slot_colour, 0, kRed));
  for (int slot = 6; slot < kSlotCount; ++slot) {
    EXPECT_TRUE(shows(program, slot_frame, slot, kBlack)) << slot;
    EXPECT_EQ(program.pixel(IDC_FIRST_SLOT + slot, 1, 1), kWhite) << slot;  // placeholder border
    EXPECT_EQ(program.pixel(IDC_FIRST_SLOT + slot, 4, 4), kBlack) << slot;
  }

  program.click(IDC_SAVE_CARD);
  program.choose_file(folder.path("copy.mc"));
  ASSERT_TRUE(wait_until([&] { return read_file(folder.path("copy.mc")).size() == kCardSize; }));
  EXPECT_EQ(read_file(folder.path("copy.mc")), card_bytes(card));
  EXPECT_FALSE(program.find_box());
}

TEST(CardFiles, SaveAddsTheDefaultExtensionAndReplacesAnExistingFile) {
  TempFolder folder;
  write_file(folder.path("sample.mcr"), card_bytes(sample_card()));
  write_file(folder.path("old.mc"), Bytes(100, 0x77));
  Program program;
  open_card(program, folder.path("sample.mcr"));
  ASSERT_TRUE(wait_until([&] { return program.text(IDC_COUNTER) == "6/15"; }));
  program.click(IDC_SAVE_CARD);
  program.choose_file(folder.path("old"));
  ASSERT_TRUE(wait_until([&] { return read_file(folder.path("old.mc")).size() == kCardSize; }));
  EXPECT_EQ(read_file(folder.path("old.mc")), card_bytes(sample_card()));
}

TEST(CardFiles, GmeFilesAreRecognisedByLengthAndLongerFilesReadFromTheStart) {
  TempFolder folder;
  write_file(folder.path("sample.gme"), gme_file(sample_card()));
  Bytes longer = card_bytes(blank_card());
  longer.push_back(0x42);
  write_file(folder.path("longer.mcd"), longer);
  Program program;
  open_card(program, folder.path("sample.gme"));
  ASSERT_TRUE(wait_until([&] { return program.text(IDC_COUNTER) == "6/15"; }));
  open_card(program, folder.path("longer.mcd"), true);
  EXPECT_TRUE(wait_until([&] { return program.text(IDC_COUNTER) == "0/15"; }));
  EXPECT_FALSE(program.find_box());
}

TEST(CardFiles, AVmpWithAWrongSignatureIsToldOpenedAndSavedOverItselfSigned) {
  TempFolder folder;
  const std::string vmp = folder.path("SCEVMC0.VMP");
  write_file(vmp, vmp_file(sample_card()));  // its signature field is zero
  Program program;
  open_card(program, vmp);
  program.expect_box("Warning",
                     "The signature of this VMP card is wrong: a PSP or PS Vita would show it as an "
                     "empty card.\nIt is opened as it is; saving it as a VMP signs it again.");
  ASSERT_TRUE(wait_until([&] { return program.text(IDC_COUNTER) == "6/15"; }));
  program.click(IDC_SAVE_CARD);
  program.choose_file(vmp);
  ASSERT_TRUE(wait_until([&] { return read_file(vmp) != vmp_file(sample_card()); }));
  const Bytes saved = read_file(vmp);
  ASSERT_EQ(saved.size(), 0x80 + kCardSize);
  EXPECT_EQ(Bytes(saved.begin() + 0x80, saved.end()), card_bytes(sample_card()));
  // Signed now: it opens without a word. (The signature itself is checked
  // with the openssl tool by signatures_test.sh.)
  open_card(program, vmp, true);
  ASSERT_TRUE(wait_until([&] { return program.text(IDC_COUNTER) == "6/15"; }));
  EXPECT_FALSE(program.find_box());
}

TEST(CardFiles, AShortFileLeavesTheCardAsItWas) {
  TempFolder folder;
  write_file(folder.path("sample.mcr"), card_bytes(sample_card()));
  Bytes short_file = card_bytes(blank_card());
  short_file.pop_back();
  write_file(folder.path("short.mcr"), short_file);
  write_file(folder.path("empty.mcr"), Bytes());
  Program program;
  open_card(program, folder.path("sample.mcr"));
  ASSERT_TRUE(wait_until([&] { return program.text(IDC_COUNTER) == "6/15"; }));
  for (const char* name : {"short.mcr", "empty.mcr"}) {
    open_card(program, folder.path(name), true);
    program.expect_box("File Error", "Wrong file size !");
  }
  EXPECT_EQ(program.text(IDC_COUNTER), "6/15");
  program.click(IDC_SAVE_CARD);
  program.choose_file(folder.path("after.mcr"));
  ASSERT_TRUE(wait_until([&] { return read_file(folder.path("after.mcr")).size() == kCardSize; }));
  EXPECT_EQ(read_file(folder.path("after.mcr")), card_bytes(sample_card()));
}

TEST(CardFiles, AFileThatIsNotACardUnloadsItButKeepsTheView) {
  TempFolder folder;
  write_file(folder.path("sample.mcr"), card_bytes(sample_card()));
  Bytes not_a_card(kCardSize, 0x11);
  write_file(folder.path("random.mcr"), not_a_card);
  CardImage bad_header = blank_card();
  break_checksum(bad_header, 0);
  write_file(folder.path("bad-header.mcr"), card_bytes(bad_header));

  Program program;
  open_card(program, folder.path("sample.mcr"));
  ASSERT_TRUE(wait_until([&] { return program.text(IDC_COUNTER) == "6/15"; }));
  program.click_static(IDC_FIRST_SLOT);
  ASSERT_TRUE(wait_until([&] { return program.text(IDC_TITLE) == "DEMO"; }));

  open_card(program, folder.path("random.mcr"), true);
  program.expect_box("Error", "Wrong Memory Card format.");
  // The previous view stays: selection, texts and icons.
  EXPECT_EQ(program.text(IDC_TITLE), "DEMO");
  EXPECT_EQ(program.text(IDC_COUNTER), "6/15");
  EXPECT_TRUE(shows(program, slot_frame, 0, kFrameGreen));
  EXPECT_TRUE(shows(program, slot_colour, 0, kRed));

  program.click_static(IDC_FIRST_SLOT + 1);
  program.expect_box("Error", "No Memory Card Loaded or Read.");
  program.click(IDC_SAVE_CARD);
  program.expect_box("Error", "No Memory Card Loaded or Read.");
  // Nothing is loaded, so opening does not ask to discard anything.
  open_card(program, folder.path("sample.mcr"));
  ASSERT_TRUE(wait_until([&] { return program.text(IDC_COUNTER) == "6/15"; }));
  program.click_static(IDC_FIRST_SLOT);
  ASSERT_TRUE(wait_until([&] { return program.text(IDC_TITLE) == "DEMO"; }));

  // "MC" with a bad header checksum clears the selection, keeps the icons.
  open_card(program, folder.path("bad-header.mcr"), true);
  program.expect_box("Error", "Wrong Memory Card format.");
  EXPECT_EQ(program.text(IDC_TITLE), "");
  EXPECT_EQ(program.text(IDC_INFO), "");
  EXPECT_TRUE(shows(program, slot_frame, 0, kBlack));
  EXPECT_TRUE(shows(program, slot_colour, 0, kRed));
  EXPECT_EQ(program.text(IDC_COUNTER), "6/15");
}

TEST(CardFiles, AnsweringNoOrCancellingKeepsTheCard) {
  TempFolder folder;
  write_file(folder.path("sample.mcr"), card_bytes(sample_card()));
  Program program;
  open_card(program, folder.path("sample.mcr"));
  ASSERT_TRUE(wait_until([&] { return program.text(IDC_COUNTER) == "6/15"; }));
  program.click(IDC_OPEN_CARD);
  program.expect_box("Warning", "The current loaded Memory Card Data will be lost, continue ?", IDNO);
  program.click(IDC_OPEN_CARD);
  program.expect_box("Warning", "The current loaded Memory Card Data will be lost, continue ?", IDYES);
  program.cancel_file_dialog();
  program.click(IDC_SAVE_CARD);
  program.cancel_file_dialog();
  EXPECT_EQ(program.text(IDC_COUNTER), "6/15");
  EXPECT_FALSE(program.find_box());
}

}  // namespace
