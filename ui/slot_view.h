// The fifteen slots, the selection frames, the large icon box and the
// texts of the selected save, all drawn straight into the main window.
#pragma once

#include <windows.h>

#include "card/failure.h"

// Shows slot i, or clears the selection when i < 0. Does nothing without a card.
void select_slot(int slot);
void draw_selection_frames();
// One animation step: slots with two or three icon frames show frame tick mod n.
void animate_slots();
void draw_icon(HBITMAP image, int control);

// Analyses the card and shows the result: slot icons, frames and counter.
// On failure the previous view stays; only the selection may be cleared.
Failure analyse_and_show();

// Everything the view drew, again, after the window was repainted.
void redraw_slot_view();

void destroy_slot_icons();
