#include "ui/system_menu.h"

#include "ui/reader_menu.h"

void add_system_menu_items(HWND window) { add_reader_menu(GetSystemMenu(window, FALSE)); }

void system_menu_opening(HMENU menu) { refresh_reader_menu(menu); }

bool system_menu_command(HWND window, WPARAM command) {
  // The low four bits are Windows' own.
  return reader_menu_command(window, UINT(command & 0xFFF0));
}
