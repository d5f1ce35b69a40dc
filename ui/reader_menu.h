// The "Card Reader" submenu of the system menu: "PS3 Memory Card Adaptor",
// then for each serial port the system lists one item per serial reader
// ("MemCARDuino on COM3", "DexDrive on COM3"): a port does not tell which
// reader is behind it. The reader in use is checked; a choice is kept for
// the next start.
#pragma once

#include <windows.h>

// Appends the submenu to the system menu.
void add_reader_menu(HMENU system_menu);
// Lists the ports again: called as a menu opens (a reader may have been
// plugged in since).
void refresh_reader_menu(HMENU opening);
// Carries out the system command when it is one of the submenu's; false
// for any other.
bool reader_menu_command(HWND window, UINT command);
