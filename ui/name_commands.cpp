#include "ui/name_commands.h"

#include <windows.h>

#include <string>

#include "card/rename.h"
#include "card/slot_text.h"
#include "files/card_formats.h"
#include "resources/resource_ids.h"
#include "ui/app_state.h"
#include "ui/checks.h"
#include "ui/message_box.h"
#include "ui/slot_view.h"
#include "ui/undo_commands.h"

namespace {

// The name's parts as the dialog edits them: 'B' and the region letter,
// the product code (characters 2..11), the game's own (12..19).
constexpr size_t kCodeAt = 2, kCodeLength = 10, kIdentifierAt = 12, kIdentifierLength = 8;
const char* const kRegionItems[] = {"America (BA)", "Europe (BE)", "Japan (BI)"};
const char kRegionPrefixes[][3] = {"BA", "BE", "BI"};

struct RenameRun {
  std::string old_name;
  int blocks = 0;
  std::string name;  // the result
};

std::string part(const std::string& text, size_t at, size_t length) {
  return at < text.size() ? text.substr(at, length) : "";
}

std::string text_of(HWND dialog, int id) {
  char text[64] = {};
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

// A region chosen gives the name its letters; none keeps the name's own.
std::string composed_name(HWND dialog, const RenameRun& run) {
  const LRESULT region = SendDlgItemMessageA(dialog, IDC_RENAME_REGION, CB_GETCURSEL, 0, 0);
  std::string prefix = region >= 0 && region < 3 ? kRegionPrefixes[region] : part(run.old_name, 0, kCodeAt);
  std::string code = text_of(dialog, IDC_RENAME_CODE);
  // The identifier begins at character 12 only once the code is whole.
  if (!text_of(dialog, IDC_RENAME_IDENTIFIER).empty()) code.resize(kCodeLength, ' ');
  return prefix + code + text_of(dialog, IDC_RENAME_IDENTIFIER);
}

void show_result(HWND dialog, RenameRun& run) {
  run.name = composed_name(dialog, run);
  uint8_t directory[kFrameSize] = {};
  for (size_t i = 0; i < run.name.size() && i < kSaveNameMax; ++i) directory[kDirName + i] = uint8_t(run.name[i]);
  SetDlgItemTextA(dialog, IDC_RENAME_NAME, run.name.c_str());
  SetDlgItemTextA(dialog, IDC_RENAME_INFO, info_line(directory, run.blocks).c_str());
}

void init_rename(HWND dialog, RenameRun& run) {
  for (const char* item : kRegionItems)
    SendDlgItemMessageA(dialog, IDC_RENAME_REGION, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
  for (int region = 0; region < 3; ++region)
    if (run.old_name.compare(0, 2, kRegionPrefixes[region]) == 0)
      SendDlgItemMessageA(dialog, IDC_RENAME_REGION, CB_SETCURSEL, WPARAM(region), 0);
  SendDlgItemMessageA(dialog, IDC_RENAME_CODE, EM_LIMITTEXT, kCodeLength, 0);
  SendDlgItemMessageA(dialog, IDC_RENAME_IDENTIFIER, EM_LIMITTEXT, kIdentifierLength, 0);
  SetDlgItemTextA(dialog, IDC_RENAME_CODE, part(run.old_name, kCodeAt, kCodeLength).c_str());
  SetDlgItemTextA(dialog, IDC_RENAME_IDENTIFIER, part(run.old_name, kIdentifierAt, kIdentifierLength).c_str());
  show_result(dialog, run);
}

INT_PTR CALLBACK rename_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* run = reinterpret_cast<RenameRun*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(dialog, DWLP_USER, lparam);
      init_rename(dialog, *reinterpret_cast<RenameRun*>(lparam));
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wparam)) {
        case IDC_RENAME_REGION:
        case IDC_RENAME_CODE:
        case IDC_RENAME_IDENTIFIER: show_result(dialog, *run); break;
        case IDOK:
          show_result(dialog, *run);
          EndDialog(dialog, IDOK);
          break;
        case IDCANCEL: EndDialog(dialog, IDCANCEL); break;
      }
      return TRUE;
    case WM_CLOSE:
      EndDialog(dialog, IDCANCEL);
      return TRUE;
  }
  return FALSE;
}

struct CommentRun {
  std::string save;
  std::string text;
};

INT_PTR CALLBACK comment_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* run = reinterpret_cast<CommentRun*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(dialog, DWLP_USER, lparam);
      run = reinterpret_cast<CommentRun*>(lparam);
      SetDlgItemTextA(dialog, IDC_COMMENT_SAVE, ("The comment the GME file keeps beside " + run->save + ":").c_str());
      SendDlgItemMessageA(dialog, IDC_COMMENT_TEXT, EM_LIMITTEXT, kGmeCommentSize - 1, 0);
      SetDlgItemTextA(dialog, IDC_COMMENT_TEXT, run->text.c_str());
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wparam) == IDOK) {
        char text[kGmeCommentSize] = {};
        GetDlgItemTextA(dialog, IDC_COMMENT_TEXT, text, sizeof text);
        run->text = text;
        EndDialog(dialog, IDOK);
      } else if (LOWORD(wparam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
      }
      return TRUE;
    case WM_CLOSE:
      EndDialog(dialog, IDCANCEL);
      return TRUE;
  }
  return FALSE;
}

}  // namespace

void rename_save_command() {
  if (!require_card() || !require_selection()) return;
  const int save = app.selected;
  if (app.slots.status[save] <= 0) {
    show_error("Empty Block !");
    return;
  }
  RenameRun run;
  run.old_name = DirectoryFrame{directory_frame(app.card, save)}.name();
  run.blocks = app.slots.status[save];
  if (DialogBoxParamA(app.instance, MAKEINTRESOURCEA(IDD_RENAME_SAVE), app.window, rename_proc,
                      reinterpret_cast<LPARAM>(&run)) != IDOK ||
      run.name == run.old_name)
    return;
  if (show_failure(rename_save_keeping_comment(app.card, app.file, app.slots, save, run.name))) return;
  analyse_and_show();
  select_slot(save);
}

void edit_comment_command() {
  if (!require_card() || !require_selection()) return;
  const int save = app.selected;
  CommentRun run;
  run.save = DirectoryFrame{directory_frame(app.card, save)}.name();
  run.text = comment_of(app.card, app.file, save);
  if (DialogBoxParamA(app.instance, MAKEINTRESOURCEA(IDD_EDIT_COMMENT), app.window, comment_proc,
                      reinterpret_cast<LPARAM>(&run)) != IDOK)
    return;
  if (show_failure(edit_comment(app.card, app.file, save, run.text))) return;
  record_card_change();
}
