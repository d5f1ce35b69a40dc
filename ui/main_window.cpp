#include "ui/main_window.h"

#include <commctrl.h>

#include <string>
#include <vector>

#include "card/icon.h"
#include "resources/link_addresses.h"
#include "resources/resource_ids.h"
#include "ui/app_state.h"
#include "ui/card_commands.h"
#include "ui/checks.h"
#include "ui/dpi.h"
#include "ui/files_in.h"
#include "ui/icon_bitmap.h"
#include "ui/icon_commands.h"
#include "ui/keys.h"
#include "ui/link_static.h"
#include "ui/message_box.h"
#include "ui/save_commands.h"
#include "ui/save_drag.h"
#include "ui/slot_menu.h"
#include "ui/slot_view.h"
#include "ui/name_commands.h"
#include "ui/system_menu.h"
#include "ui/transfer_commands.h"

namespace {

const UINT_PTR kAnimationTimer = 0;
const UINT kAnimationPeriodMs = kIconFramePeriodMs;

void initialise(HWND window, const std::vector<std::string>* files) {
  app.window = window;  // owns the adaptor's message, shown before the window
  connect_reader(window);
  app.worker = nullptr;
  destroy_slot_icons();
  app.card = CardImage{};
  const IconScale scale = icon_scale(window_dpi(window));
  app.icon_pixel = scale.pixel;
  app.frame_width = scale.frame;
  app.blank_icon = create_icon_bitmap(white_placeholder(), app.icon_pixel);
  app.selected = -1;
  app.fast_read = app.partial_read = app.snapshot_valid = app.allow_corrupted = false;
  app.animation_on = false;

  CheckRadioButton(window, IDC_READ_ALL, IDC_FAST_READ, IDC_READ_ALL);
  SendDlgItemMessageA(window, IDC_PROGRESS, PBM_SETRANGE32, 0, 1024);
  make_link(GetDlgItem(window, IDC_DONATE_LINK));
  make_link(GetDlgItem(window, IDC_SITE_LINK));
  SetTimer(window, kAnimationTimer, kAnimationPeriodMs, nullptr);
  add_system_menu_items(window);
  install_keys();
  accept_dropped_files(window);
  let_slots_start_drags(window);
  // Opened by the dialog's loop, once the window shows.
  if (files && !files->empty()) open_files_later(*files);
}

void toggle_allow_corrupted(HWND window) {
  app.allow_corrupted = IsDlgButtonChecked(window, IDC_ALLOW_CORRUPTED) == BST_CHECKED;
  if (is_loaded(app.card)) show_failure(analyse_and_show());
}

// While a job runs the process must not end: a write stopped half-way
// leaves the card's directory ahead of its data. The window is disabled
// then, but the taskbar, the task manager or another program can still ask
// it to close.
void end_unless_busy(HWND window) {
  if (job_running()) return;
  KillTimer(window, kAnimationTimer);
  EndDialog(window, 0);
}

// Commands are recognised by control id alone, whatever the notification.
void run_command(HWND window, int id) {
  // Wine sends a choice in a submenu of the system menu as WM_COMMAND,
  // Windows as WM_SYSCOMMAND.
  if (system_menu_command(window, WPARAM(id))) return;
  if (id >= IDC_FIRST_SLOT && id <= IDC_LAST_SLOT) {
    if (require_card()) select_slot(id - IDC_FIRST_SLOT);
    return;
  }
  switch (id) {
    case IDC_NEW_CARD: new_card(); break;
    case IDC_OPEN_CARD: open_card_file(); break;
    case IDC_SAVE_CARD: save_card_file(); break;
    case IDC_IMPORT_SAVE: import_save_command(); break;
    case IDC_EXPORT_SAVE: export_save_command(); break;
    case IDC_DELETE_SAVE: delete_selected_save(); break;
    case IDC_READ_CARD: read_card_command(); break;
    case IDC_WRITE_CARD: write_card_command(); break;
    case IDC_DONATE_LINK: open_address(DONATION_PAGE_ADDRESS); break;
    case IDC_SITE_LINK: open_address(WEB_SITE_ADDRESS); break;
    case IDC_READ_ALL: app.fast_read = false; break;
    case IDC_FAST_READ: app.fast_read = true; break;
    case IDC_ALLOW_CORRUPTED: toggle_allow_corrupted(window); break;
    case IDC_EXIT: end_unless_busy(window); break;
    case IDM_SAVE_ICON_AS: save_icon_as(app.selected); break;
    case IDM_EXPORT_SAVE_AS: export_save_as_command(); break;
    case IDM_COPY_SAVE_TO_FILE: copy_save_to_card_file_command(); break;
    case IDM_RESTORE_SAVE: restore_deleted_save(); break;
    case IDM_RENAME_SAVE: rename_save_command(); break;
    case IDM_EDIT_COMMENT: edit_comment_command(); break;
    case IDM_DELETE_KEY: delete_key_command(); break;
    case IDM_SLOT_MENU_KEY: open_selected_slot_menu(); break;
    default: break;  // Escape's IDCANCEL and Enter's IDOK do nothing
  }
}

}  // namespace

INT_PTR CALLBACK main_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      initialise(window, reinterpret_cast<const std::vector<std::string>*>(lparam));
      return TRUE;
    case WM_COMMAND:
      run_command(window, LOWORD(wparam));
      return TRUE;
    case WM_SYSCOMMAND:
      return system_menu_command(window, wparam) ? TRUE : FALSE;
    case WM_INITMENU:
      grey_system_menu_items();
      return FALSE;
    case WM_INITMENUPOPUP:
      system_menu_opening(reinterpret_cast<HMENU>(wparam));
      return FALSE;
    case WM_CONTEXTMENU:
      return open_slot_menu(reinterpret_cast<HWND>(wparam), lparam);
    case WM_TIMER:
      ++app.tick;
      if (app.animation_on) animate_slots();
      return TRUE;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      BeginPaint(window, &paint);
      EndPaint(window, &paint);
      // The slot controls paint their own black frames after this window:
      // let them, then draw the icons and frames over them again.
      RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
      redraw_slot_view();
      return TRUE;
    }
    case kProgressMessage:
      update_progress_bar();
      return TRUE;
    case WM_APP:
      finish_job();
      return TRUE;
    case kOpenFilesMessage:
      open_waiting_files();
      return TRUE;
    case WM_DROPFILES:
      take_dropped_files(reinterpret_cast<HDROP>(wparam));
      return TRUE;
    case WM_DPICHANGED:
      // A read job makes its bitmaps at the scale it started with: the
      // window takes the new one once the job has shown them.
      if (!job_running()) rescale_slot_view(HIWORD(wparam));
      return FALSE;  // the dialog manager scales the dialog and its font
    case WM_CLOSE:
      end_unless_busy(window);
      return TRUE;
    case WM_QUERYENDSESSION:
      // The reason shown to the user was given when the job started.
      SetWindowLongPtrA(window, DWLP_MSGRESULT, job_running() ? FALSE : TRUE);
      return TRUE;
    case WM_DESTROY:
      remove_keys();
      stop_accepting_files(window);
      remove_dragged_files();
      destroy_slot_icons();
      destroy_bitmap(app.blank_icon);
      return FALSE;
  }
  return FALSE;
}
