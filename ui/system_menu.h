// The window's items below the system menu's own (the title bar's icon,
// Alt+Space). Their commands arrive as WM_SYSCOMMAND; the keys of the
// accelerator table that name them (Ctrl+Z, Ctrl+Y) arrive the same way.
// A submenu joins in add_system_menu_items with AppendMenu(MF_POPUP), its
// commands in run_system_menu_item.
#pragma once

#include <windows.h>

void add_system_menu_items(HWND window);
// Greys what cannot be done now (Undo, Redo): on WM_INITMENU and
// WM_INITMENUPOPUP, which also come before a key runs an item.
void update_system_menu(HWND window);
// Runs the item with this command id; false when it is none of them.
bool run_system_menu_item(UINT id);
