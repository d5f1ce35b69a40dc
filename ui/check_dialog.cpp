#include "ui/check_dialog.h"

#include <windows.h>

#include <cctype>
#include <string>
#include <vector>

#include "card/card_check.h"
#include "resources/resource_ids.h"
#include "ui/app_state.h"
#include "ui/checks.h"

namespace {

// Each fault a paragraph: its frames, then what it means for the saves.
std::string report_text(const std::vector<CardFault>& faults) {
  if (faults.empty()) return "The card is sound.";
  std::string text = std::to_string(faults.size()) + (faults.size() == 1 ? " fault" : " faults") +
                     " found:";
  for (const CardFault& fault : faults) {
    std::string frames = frames_in_words(fault.frames);
    frames[0] = char(std::toupper(static_cast<unsigned char>(frames[0])));
    text += "\r\n\r\n" + frames + ": " + fault.meaning;
  }
  return text;
}

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
  const std::string report = report_text(check_card(app.card));
  DialogBoxParamA(app.instance, MAKEINTRESOURCEA(IDD_CHECK_CARD), app.window, check_dialog_proc,
                  reinterpret_cast<LPARAM>(report.c_str()));
}
