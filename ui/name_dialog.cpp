#include "ui/name_dialog.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <optional>

#include "card/card_image.h"
#include "card/save_name.h"
#include "resources/resource_ids.h"
#include "ui/app_state.h"
#include "ui/message_box.h"

namespace {

// Shared with the import: empty means no name.
char save_name[kSaveNameMax + 1];
// A suggested name the controls cannot compose (a product code such as
// SCAJ): it stands until all three lists have a choice.
std::string suggested_name;

const char* const kRegions[] = {"Japan", "America", "Europe"};
const char* const kLicensings[] = {"Sony Computer", "Sony Licensed"};
const char* const kTypes[] = {"Game", "Demo", "Other"};

void fill_combo(HWND dialog, int id, const char* const* items, int count) {
  for (int i = 0; i < count; ++i)
    SendDlgItemMessageA(dialog, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(items[i]));
}

int selection(HWND dialog, int id, int count) {
  const LRESULT index = SendDlgItemMessageA(dialog, id, CB_GETCURSEL, 0, 0);
  return index >= 0 && index < count ? int(index) : -1;
}

// Only the list selections count; text typed into a combo's field does not.
void compose_save_name(HWND dialog) {
  const int region = selection(dialog, IDC_NAME_REGION, 3);
  const int licensing = selection(dialog, IDC_NAME_LICENSING, 2);
  const int type = selection(dialog, IDC_NAME_TYPE, 3);
  std::memset(save_name, 0, sizeof save_name);
  if (region >= 0 && licensing >= 0 && type >= 0) {
    char file_part[9] = {};
    GetDlgItemTextA(dialog, IDC_NAME_FILE_PART, file_part, sizeof file_part);
    BOOL is_number = FALSE;
    UINT number = GetDlgItemInt(dialog, IDC_NAME_NUMBER, &is_number, FALSE);
    if (!is_number) number = 0;
    const bool pocket = IsDlgButtonChecked(dialog, IDC_NAME_POCKETSTATION) == BST_CHECKED;
    const std::string name = compose_name(Region(region), Licensing(licensing), SaveType(type),
                                          number, file_part, pocket);
    std::memcpy(save_name, name.data(), name.size());
  } else {
    std::memcpy(save_name, suggested_name.data(), std::min(suggested_name.size(), kSaveNameMax));
  }
  SetDlgItemTextA(dialog, IDC_NAME_GENERATED, save_name);
}

// Chooses the controls that compose the name, where they can.
void fill_in(HWND dialog, const std::string& suggested) {
  const std::optional<NameParts> parts = name_parts(suggested);
  if (!parts) {
    suggested_name = suggested;
    return;
  }
  SendDlgItemMessageA(dialog, IDC_NAME_REGION, CB_SETCURSEL, WPARAM(parts->region), 0);
  SendDlgItemMessageA(dialog, IDC_NAME_LICENSING, CB_SETCURSEL, WPARAM(parts->licensing), 0);
  SendDlgItemMessageA(dialog, IDC_NAME_TYPE, CB_SETCURSEL, WPARAM(parts->type), 0);
  // The five digits as the name holds them.
  SetDlgItemTextA(dialog, IDC_NAME_NUMBER, suggested.substr(7, 5).c_str());
  SetDlgItemTextA(dialog, IDC_NAME_FILE_PART, parts->file_part.c_str());
  CheckDlgButton(dialog, IDC_NAME_POCKETSTATION, parts->pocketstation ? BST_CHECKED : BST_UNCHECKED);
}

void initialise(HWND dialog, const std::string& suggested) {
  SendDlgItemMessageA(dialog, IDC_NAME_FILE_PART, EM_LIMITTEXT, 8, 0);
  SendDlgItemMessageA(dialog, IDC_NAME_NUMBER, EM_LIMITTEXT, 5, 0);
  fill_combo(dialog, IDC_NAME_REGION, kRegions, 3);
  fill_combo(dialog, IDC_NAME_LICENSING, kLicensings, 2);
  fill_combo(dialog, IDC_NAME_TYPE, kTypes, 3);
  save_name[0] = 0;
  suggested_name.clear();
  if (suggested.empty()) return;
  fill_in(dialog, suggested);
  compose_save_name(dialog);
}

INT_PTR CALLBACK name_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      initialise(dialog, *reinterpret_cast<const std::string*>(lparam));
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wparam)) {
        case IDC_NAME_REGION:
        case IDC_NAME_LICENSING:
        case IDC_NAME_TYPE:
        case IDC_NAME_NUMBER:
        case IDC_NAME_FILE_PART:
        case IDC_NAME_POCKETSTATION:
          compose_save_name(dialog);
          return TRUE;
        case IDOK:
          compose_save_name(dialog);
          if (save_name[0])
            EndDialog(dialog, 0);
          else
            show_error("Missing informations !");
          return TRUE;
        case IDCANCEL:  // "Exit" and the Escape key
          save_name[0] = 0;
          EndDialog(dialog, 0);
          return TRUE;
      }
      return FALSE;
    case WM_CLOSE:  // keeps a name composed before, which the import then uses
      EndDialog(dialog, 0);
      return TRUE;
    case WM_DESTROY:
      ShowWindow(app.window, SW_SHOWNORMAL);
      return FALSE;
  }
  return FALSE;
}

}  // namespace

std::string run_name_dialog(const std::string& suggested) {
  save_name[0] = 0;  // a dialog that cannot be created gives no name
  if (DialogBoxParamA(app.instance, MAKEINTRESOURCEA(IDD_RAW_SAVE_NAME), nullptr, name_dialog_proc,
                      reinterpret_cast<LPARAM>(&suggested)) == -1) {
    ShowWindow(app.window, SW_SHOWNORMAL);
    return "";
  }
  return save_name;
}
