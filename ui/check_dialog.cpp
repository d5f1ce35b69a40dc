#include "ui/check_dialog.h"

#include <windows.h>

#include <string>
#include <vector>

#include "card/card_check.h"
#include "resources/resource_ids.h"
#include "ui/app_state.h"
#include "ui/checks.h"

namespace {

INT_PTR CALLBACK check_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      SetDlgItemTextA(dialog, IDC_CHECK_REPORT, reinterpret_cast<const char*>(lparam));
      SetFocus(GetDlgItem(dialog, IDCANCEL));  // rather than the report, all of it selected
      return FALSE;
    case WM_COMMAND:
      if (LOWORD(wparam) == IDCANCEL || LOWORD(wparam) == IDOK) EndDialog(dialog, 0);
      return TRUE;
    case WM_CLOSE:
      EndDialog(dialog, 0);
      return TRUE;
  }
  return FALSE;
}

}  // namespace

void check_card_command() {
  if (!require_card()) return;
  const std::string report = check_report(check_card(app.card), "\r\n");
  DialogBoxParamA(app.instance, MAKEINTRESOURCEA(IDD_CHECK_CARD), app.window, check_dialog_proc,
                  reinterpret_cast<LPARAM>(report.c_str()));
}
