// What the window adds to its system menu, and the commands that come from
// there (WM_SYSCOMMAND): the "Card Reader" submenu (reader_menu.h).
#pragma once

#include <windows.h>

void add_system_menu_items(HWND window);
// WM_INITMENUPOPUP: a menu of the window opens.
void system_menu_opening(HMENU menu);
// WM_SYSCOMMAND: true when the command was one of these items.
bool system_menu_command(HWND window, WPARAM command);
