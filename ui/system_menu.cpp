#include "ui/system_menu.h"

#include <string>

#include "resources/resource_ids.h"
#include "ui/app_state.h"
#include "ui/backups_dialog.h"
#include "ui/check_dialog.h"
#include "ui/game_card_commands.h"
#include "ui/message_box.h"
#include "ui/reader_menu.h"
#include "ui/undo_commands.h"

namespace {

// Another window of the program, from its own exe, for a second card.
void start_new_window() {
  wchar_t exe[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, exe, MAX_PATH);
  if (length == 0 || length == MAX_PATH) {
    show_error("Cannot start a new window: the program's own path is unknown.");
    return;
  }
  std::wstring command = L"\"" + std::wstring(exe) + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(exe, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    show_error("Cannot start a new window: the system refused to start the program (error " +
               std::to_string(GetLastError()) + ").");
    return;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

struct SystemMenuItem {
  UINT id;  // 0: a separator
  const char* text;
  void (*run)();
  bool (*available)();  // null: always
};
const SystemMenuItem kItems[] = {
    {0, nullptr, nullptr, nullptr},
    {IDM_UNDO, "Undo\tCtrl+Z", undo_command, can_undo},
    {IDM_REDO, "Redo\tCtrl+Y", redo_command, can_redo},
    {0, nullptr, nullptr, nullptr},
    {IDM_CHECK_CARD, "Check Card...", check_card_command, nullptr},
    {IDM_BACKUPS, "Backups...", backups_command, nullptr},
    {IDM_SPLIT_CARD, "Split Card into Game Cards...", split_card_command, nullptr},
    {IDM_GATHER_CARDS, "Gather Game Cards...", gather_cards_command, nullptr},
    {IDM_NEW_WINDOW, "New Window", start_new_window, nullptr},
};

}  // namespace

void add_system_menu_items(HWND window) {
  HMENU menu = GetSystemMenu(window, FALSE);
  if (!menu) return;
  for (const SystemMenuItem& item : kItems)
    AppendMenuA(menu, item.id ? MF_STRING : MF_SEPARATOR, item.id, item.text);
  add_reader_menu(menu);
  grey_system_menu_items();
}

void system_menu_opening(HMENU menu) {
  refresh_reader_menu(menu);
  grey_system_menu_items();
}

void grey_system_menu_items() {
  HMENU menu = GetSystemMenu(app.window, FALSE);
  for (const SystemMenuItem& item : kItems)
    if (item.available)
      EnableMenuItem(menu, item.id, MF_BYCOMMAND | (item.available() ? MF_ENABLED : MF_GRAYED));
}

bool system_menu_command(HWND window, WPARAM command) {
  const UINT id = UINT(command & 0xFFF0);  // the low four bits are Windows' own
  for (const SystemMenuItem& item : kItems)
    if (item.id && item.id == id) {
      item.run();
      return true;
    }
  return reader_menu_command(window, id);
}
