#include "ui/backups_dialog.h"

#include <windows.h>

#include <shellapi.h>

#include <memory>
#include <string>
#include <vector>

#include "card/analysis.h"
#include "files/backups.h"
#include "files/card_file.h"
#include "files/folders.h"
#include "resources/resource_ids.h"
#include "ui/app_state.h"
#include "ui/card_commands.h"
#include "ui/message_box.h"

namespace {

// The list as the dialog shows it, and the backup chosen.
struct BackupsShown {
  std::string folder;
  Failure no_folder;
  std::vector<Backup> backups;
  std::string chosen;
};
BackupsShown shown;

// "6/15", or what is wrong with the file.
std::string blocks_used(const std::string& path) {
  auto card = std::make_unique<CardImage>();
  auto slots = std::make_unique<SlotTable>();
  bool opened = false;
  Failure failure = read_card_file(path, *card, opened);
  if (!failure) failure = analyse_card(*card, *slots, false);
  return failure ? failure->text : std::to_string(slots->used) + "/15";
}

void fill(HWND dialog) {
  HWND list = GetDlgItem(dialog, IDC_BACKUP_LIST);
  INT tab_stop = 98;  // under "Blocks used", in dialog units
  SendMessageA(list, LB_SETTABSTOPS, 1, reinterpret_cast<LPARAM>(&tab_stop));
  for (const Backup& backup : shown.backups) {
    const std::string line = backup.taken + "\t" + blocks_used(backup.path);
    SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
  }
  const std::string where = shown.no_folder ? "No backup: the environment names no folder for this user's data."
                            : shown.backups.empty() ? "No backup yet in " + shown.folder
                                                    : shown.folder;
  SetDlgItemTextA(dialog, IDC_BACKUP_FOLDER, where.c_str());
  if (shown.backups.empty()) {
    EnableWindow(GetDlgItem(dialog, IDOK), FALSE);
    EnableWindow(list, FALSE);
  } else {
    SendMessageA(list, LB_SETCURSEL, 0, 0);
  }
  if (shown.no_folder) EnableWindow(GetDlgItem(dialog, IDC_SHOW_FOLDER), FALSE);
}

void open_chosen(HWND dialog) {
  const LRESULT index = SendDlgItemMessageA(dialog, IDC_BACKUP_LIST, LB_GETCURSEL, 0, 0);
  if (index < 0 || size_t(index) >= shown.backups.size()) return;
  shown.chosen = shown.backups[size_t(index)].path;
  EndDialog(dialog, IDOK);
}

// The folder is made if no backup was taken yet, so that there is one to show.
void show_folder(HWND dialog) {
  make_folders(shown.folder);
  const HINSTANCE result =
      ShellExecuteA(dialog, "open", shown.folder.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  if (reinterpret_cast<INT_PTR>(result) <= 32)
    show_error("Cannot open the folder " + shown.folder + ".");
}

INT_PTR CALLBACK backups_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      fill(dialog);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wparam)) {
        case IDOK: open_chosen(dialog); break;
        case IDC_BACKUP_LIST:
          if (HIWORD(wparam) == LBN_DBLCLK) open_chosen(dialog);
          break;
        case IDC_SHOW_FOLDER: show_folder(dialog); break;
        case IDCANCEL: EndDialog(dialog, IDCANCEL); break;
      }
      return TRUE;
    case WM_CLOSE:
      EndDialog(dialog, IDCANCEL);
      return TRUE;
  }
  return FALSE;
}

}  // namespace

void backups_command() {
  shown = BackupsShown{};
  shown.no_folder = backup_folder(shown.folder);
  if (!shown.no_folder) shown.backups = list_backups(shown.folder);
  if (DialogBoxParamA(app.instance, MAKEINTRESOURCEA(IDD_BACKUPS), app.window, backups_dialog_proc, 0) !=
      IDOK)
    return;
  open_card_named(shown.chosen);
}
