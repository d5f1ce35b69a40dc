// The window's items below the system menu's own (the title bar's icon,
// Alt+Space): Undo, Redo, Check Card..., Backups..., Split Card into Game
// Cards..., Gather Game Cards..., New Window, and the
// "Card Reader" submenu (reader_menu.h). Their commands arrive as
// WM_SYSCOMMAND (Wine sends a submenu's as WM_COMMAND); the keys of the
// accelerator table that name them (Ctrl+Z, Ctrl+Y) arrive the same way.
// Another submenu joins in add_system_menu_items, its commands in
// system_menu_command.
#pragma once

#include <windows.h>

void add_system_menu_items(HWND window);
// WM_INITMENUPOPUP: a menu of the window opens; what cannot be done now
// is greyed, and the Card Reader submenu lists the ports again.
void system_menu_opening(HMENU menu);
// WM_INITMENU, which also comes before a key runs an item: the greying only.
void grey_system_menu_items();
// WM_SYSCOMMAND or WM_COMMAND: true when the command was one of these items.
bool system_menu_command(HWND window, WPARAM command);
