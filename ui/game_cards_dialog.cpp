#include "ui/game_cards_dialog.h"

#include <windows.h>

#include <shlobj.h>

#include "resources/resource_ids.h"
#include "ui/app_state.h"

namespace {

struct DialogRun {
  GameCardsJob job;
  GameCardsChoice* choice;
};

const int kLayoutButtons[] = {IDC_LAYOUT_MEMCARDPRO, IDC_LAYOUT_SD2PSX, IDC_LAYOUT_DUCKSTATION};
const CardLayout kLayouts[] = {CardLayout::memcardpro, CardLayout::sd2psx, CardLayout::duckstation};

const char kSplitHint[] =
    "The SD card, DuckStation's folder, or their card folder. Each save goes to its game's card "
    "there; a card already there is extended, never replaced, and kept with the backups first.";
const char kGatherHint[] =
    "A folder of per-game cards of any layout (an SD card, an emulator's cards): their saves are "
    "gathered onto a new card. Of a save whose versions differ, the channel's is taken.";

void show(HWND dialog, int id, bool shown) { ShowWindow(GetDlgItem(dialog, id), shown ? SW_SHOW : SW_HIDE); }

void init(HWND dialog, const DialogRun& run) {
  const bool split = run.job == GameCardsJob::split;
  SetWindowTextA(dialog, split ? "Split Card into Game Cards" : "Gather Game Cards");
  SetDlgItemTextA(dialog, IDOK, split ? "Split" : "Gather");
  SetDlgItemTextA(dialog, IDC_GAME_CARDS_HINT, split ? kSplitHint : kGatherHint);
  for (int id : {IDC_LAYOUT_LABEL, IDC_LAYOUT_MEMCARDPRO, IDC_LAYOUT_SD2PSX, IDC_LAYOUT_DUCKSTATION})
    show(dialog, id, split);
  show(dialog, IDC_CHANNEL_LABEL, !split);
  show(dialog, IDC_GATHER_CHANNEL, !split);
  for (int i = 0; i < 3; ++i)
    if (kLayouts[i] == run.choice->layout) CheckRadioButton(dialog, kLayoutButtons[0], kLayoutButtons[2], kLayoutButtons[i]);
  SetDlgItemTextA(dialog, IDC_GAME_FOLDER, run.choice->folder.c_str());
  SetDlgItemInt(dialog, IDC_GATHER_CHANNEL, UINT(run.choice->channel), FALSE);
  SendDlgItemMessageA(dialog, IDC_GATHER_CHANNEL, EM_LIMITTEXT, 1, 0);
}

std::string folder_text(HWND dialog) {
  char folder[MAX_PATH] = {};
  GetDlgItemTextA(dialog, IDC_GAME_FOLDER, folder, sizeof folder);
  return folder;
}

int CALLBACK start_in_folder(HWND browser, UINT message, LPARAM, LPARAM folder) {
  if (message == BFFM_INITIALIZED) SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, folder);
  return 0;
}

void browse(HWND dialog) {
  const std::string current = folder_text(dialog);
  BROWSEINFOA browse = {};
  browse.hwndOwner = dialog;
  browse.lpszTitle = "The SD card's or the emulator's folder";
  browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  browse.lpfn = start_in_folder;
  browse.lParam = reinterpret_cast<LPARAM>(current.c_str());
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderA(&browse);
  if (!chosen) return;
  char path[MAX_PATH] = {};
  if (SHGetPathFromIDListA(chosen, path)) SetDlgItemTextA(dialog, IDC_GAME_FOLDER, path);
  CoTaskMemFree(chosen);
}

// OK with a folder named: the choice is taken. Without one, the field asks.
void take_choice(HWND dialog, const DialogRun& run) {
  const std::string folder = folder_text(dialog);
  BOOL is_number = FALSE;
  const UINT channel = GetDlgItemInt(dialog, IDC_GATHER_CHANNEL, &is_number, FALSE);
  const bool channel_wrong = run.job == GameCardsJob::gather && (!is_number || channel < 1 || channel > UINT(kMostChannels));
  if (folder.empty() || channel_wrong) {
    MessageBeep(MB_ICONWARNING);
    SetFocus(GetDlgItem(dialog, folder.empty() ? IDC_GAME_FOLDER : IDC_GATHER_CHANNEL));
    return;
  }
  run.choice->folder = folder;
  if (run.job == GameCardsJob::gather) run.choice->channel = int(channel);
  for (int i = 0; i < 3; ++i)
    if (IsDlgButtonChecked(dialog, kLayoutButtons[i]) == BST_CHECKED) run.choice->layout = kLayouts[i];
  EndDialog(dialog, IDOK);
}

INT_PTR CALLBACK game_cards_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(dialog, DWLP_USER, lparam);
      init(dialog, *reinterpret_cast<DialogRun*>(lparam));
      return TRUE;
    case WM_COMMAND: {
      const auto* run = reinterpret_cast<DialogRun*>(GetWindowLongPtrA(dialog, DWLP_USER));
      switch (LOWORD(wparam)) {
        case IDOK: take_choice(dialog, *run); break;
        case IDC_BROWSE_FOLDER: browse(dialog); break;
        case IDCANCEL: EndDialog(dialog, IDCANCEL); break;
      }
      return TRUE;
    }
    case WM_CLOSE:
      EndDialog(dialog, IDCANCEL);
      return TRUE;
  }
  return FALSE;
}

}  // namespace

bool ask_game_cards(GameCardsJob job, GameCardsChoice& choice) {
  DialogRun run{job, &choice};
  return DialogBoxParamA(app.instance, MAKEINTRESOURCEA(IDD_GAME_CARDS), app.window, game_cards_proc,
                         reinterpret_cast<LPARAM>(&run)) == IDOK;
}
