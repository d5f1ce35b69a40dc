// Cards and files the end-to-end tests open, made by the test-data maker.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "tests/e2e/driver.h"
#include "tests/support/card_maker.h"

// Shift-JIS for the katakana "ポケット".
inline const std::string kPocketTitle = "\x83\x7C\x83\x50\x83\x62\x83\x67";

// Slot 0: BASLUS-00001DEMO, one block, one red icon frame, title "DEMO".
// Slots 1-2: BISLPSP00001GAME, two blocks, icon frames red and green.
// Slots 3-5: BESCES-00344RACE, three blocks, red, green and blue.
CardImage sample_card();
// The three-block save of slots 3-5.
SaveSpec sample_race();

constexpr Rgb kRed{248, 0, 0};
constexpr Rgb kGreen{0, 248, 0};
constexpr Rgb kBlue{0, 0, 248};
constexpr Rgb kWhite{248, 248, 248};
constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kFrameGreen{0, 255, 0};

// The system menu's items below its own, counted from its end ("Card
// Reader" is the last), and the items of a slot's menu.
constexpr int kUndo = -8, kRedo = -7, kCheckCard = -6, kBackups = -5, kSplitCard = -4, kGatherCards = -3,
              kNewWindow = -2;
constexpr int kExportSaveAs = 0, kSaveIconAs = 1, kCopySaveToCardFile = 2, kRestoreDeletedSave = 3,
              kDeleteSave = 4, kRenameSave = 5, kEditComment = 6;  // "Edit Comment..." on a GME card only

// Opens a card image file through "Open MC/GME", answering Yes when asked
// to discard the loaded card.
void open_card(Program& program, const std::string& path, bool card_loaded = false);

// Imports a save file through "Import Save from MCS/BIN".
void import_file(Program& program, const std::string& path);
// The card as the program holds it, written through "Save MC" to `path`.
Bytes card_saved_as(Program& program, const std::string& path);

// The colour in the middle of a slot's icon (icons sit at (1, 1) in the slot).
Rgb slot_colour(const Program& program, int slot);
// The colour of the frame on the slot's left edge.
Rgb slot_frame(const Program& program, int slot);
// The top-left pixel of a slot's icon: white for the striped placeholders.
Rgb slot_corner(const Program& program, int slot);

// The screen catches up with the program's drawing within a few frames of
// Wine's surface updates: waits until `probe` shows `colour`, and reports
// the last colour seen when it never does.
::testing::AssertionResult shows(const Program& program, Rgb (*probe)(const Program&, int), int slot,
                                 Rgb colour);

// Covers the main window for a moment with a white window, as another
// program's window would, and has the program repaint all of it (Wine keeps
// the pixels of a covered window, where Windows without a compositor asks
// for a repaint). Slot 0 must show a red icon before; false if the cover
// never showed. Returns once the repaint has been handled.
bool cover_and_uncover(const Program& program);
