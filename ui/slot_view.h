// The fifteen slots, the selection frames, the large icon box and the
// texts of the selected save, all drawn straight into the main window.
#pragma once

#include <windows.h>

#include "card/analysis.h"
#include "card/failure.h"

// Shows slot i, or clears the selection when i < 0. Does nothing without a card.
void select_slot(int slot);
void draw_selection_frames();
// One animation step: slots with two or three icon frames show frame tick mod n.
void animate_slots();
void draw_icon(HBITMAP image, int control);

// An analysis with the bitmaps of its icons, made on any thread and shown by
// the window's. Bitmaps that are never shown are destroyed with it.
struct AnalysedView {
  SlotTable slots;
  HBITMAP icons[kSlotCount][kMaxIconFrames] = {};
  AnalysedView() = default;
  AnalysedView(const AnalysedView&) = delete;  // the bitmaps have one owner
  AnalysedView& operator=(const AnalysedView&) = delete;
  ~AnalysedView();
};

// Analyses the card (byte 0 is cleared when it is no card, as analyse_card
// does) and makes the icon bitmaps. Touches no window.
Failure analyse_for_view(CardImage& card, bool allow_corrupted, AnalysedView& view);

// The selection cleared: black frames, the blank icon, no texts.
void clear_selection_view();
// Takes the view's table and bitmaps as the window's and draws them: every
// slot shows frame 0 of its icon, the frames, the counter; animation
// restarts. With `clear_selection`, the selection is cleared too.
void show_analysed_view(AnalysedView& view, bool clear_selection);

// Analyses the card and shows the result, on the window's thread. On
// failure the previous view stays; only the selection may be cleared.
Failure analyse_and_show();

// Everything the view drew, again, after the window was repainted. Icons
// that stopped animating show the frame they stopped on.
void redraw_slot_view();

void destroy_slot_icons();
// The window moved to a screen of another DPI, or started on one: the
// icons and frames at its whole-pixel scale (ui/dpi.h), drawn again.
void rescale_slot_view(int dpi);

// The view as at start, before any card: empty slots, "0/15", no selection.
void show_no_card();
