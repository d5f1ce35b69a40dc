#include "tests/e2e/e2e_cards.h"

#include <gtest/gtest.h>

#include "resources/resource_ids.h"

CardImage sample_card() {
  CardImage card = blank_card();
  SaveSpec demo;
  demo.name = "BASLUS-00001DEMO";
  demo.title = "DEMO";
  put_save(card, demo, {0});
  SaveSpec pocket;
  pocket.name = "BISLPSP00001GAME";
  pocket.title = kPocketTitle;
  pocket.blocks = 2;
  pocket.icon_frames = 2;
  put_save(card, pocket, {1, 2});
  put_save(card, sample_race(), {3, 4, 5});
  return card;
}

SaveSpec sample_race() {
  SaveSpec race;
  race.name = "BESCES-00344RACE";
  race.title = "RACE";
  race.blocks = 3;
  race.icon_frames = 3;
  return race;
}

void open_card(Program& program, const std::string& path, bool card_loaded) {
  program.click(IDC_OPEN_CARD);
  if (card_loaded)
    program.expect_box("Warning", "The current loaded Memory Card Data will be lost, continue ?", IDYES);
  program.choose_file(path);
}

void import_file(Program& program, const std::string& path) {
  program.click(IDC_IMPORT_SAVE);
  program.choose_file(path);
}

Bytes card_saved_as(Program& program, const std::string& path) {
  program.click(IDC_SAVE_CARD);
  program.choose_file(path);
  wait_until([&] { return read_file(path).size() == kCardSize; });
  return read_file(path);
}

Rgb slot_colour(const Program& program, int slot) {
  return program.pixel(IDC_FIRST_SLOT + slot, 17, 17);
}

Rgb slot_corner(const Program& program, int slot) { return program.pixel(IDC_FIRST_SLOT + slot, 1, 1); }

Rgb slot_frame(const Program& program, int slot) {
  const RECT r = program.control_rect(IDC_FIRST_SLOT + slot);
  return program.pixel(IDC_FIRST_SLOT + slot, 0, (r.bottom - r.top) / 2);
}

::testing::AssertionResult shows(const Program& program, Rgb (*probe)(const Program&, int), int slot,
                                 Rgb colour) {
  Rgb seen;
  if (wait_until([&] { return (seen = probe(program, slot)) == colour; }, 3000))
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "slot " << slot << " shows " << seen << ", not " << colour;
}

bool cover_and_uncover(const Program& program) {
  RECT rect;
  GetWindowRect(program.window(), &rect);
  HWND cover = CreateWindowExA(WS_EX_TOPMOST, "STATIC", "", WS_POPUP | WS_VISIBLE | SS_WHITERECT,
                               rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                               nullptr, nullptr, nullptr, nullptr);
  if (!cover) return false;
  UpdateWindow(cover);
  const bool covered = wait_until([&] { return slot_colour(program, 0) != kRed; });
  RedrawWindow(program.window(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  DestroyWindow(cover);
  // A repaint comes once the program's queue is empty, soon after it
  // answers a sent message.
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(program.window(), WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
  Sleep(200);
  return covered;
}
