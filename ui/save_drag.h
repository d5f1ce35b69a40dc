// A save dragged out of its slot: its MCS file, written to a folder of its
// own among the temporary files and named as "export --all" names it,
// arrives wherever it is dropped (Explorer, the desktop, another Quillcrest
// window, which imports it).
#pragma once

#include <windows.h>

// The slot controls start a drag when a save's slot is pressed and the
// pointer leaves it with the button held; a click selects as before.
void let_slots_start_drags(HWND window);

// While a save of this window is being dragged: the window does not take
// it back.
bool dragging_save_out();

// The files the drags wrote, removed when the window ends (the place they
// were dropped on has copied them by then).
void remove_dragged_files();
