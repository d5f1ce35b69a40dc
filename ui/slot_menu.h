// A slot's menu: a right-click on a slot selects it and opens the menu
// there; the menu key or Shift+F10 opens it for the selected slot.
#pragma once

#include <windows.h>

// WM_CONTEXTMENU: `from` is the window clicked, `where` the screen point,
// or -1, -1 from the keyboard. False when it was no slot and not the keyboard.
bool open_slot_menu(HWND from, LPARAM where);
void open_selected_slot_menu();
