#include "ui/slot_menu.h"

#include <windowsx.h>

#include "card/undelete.h"
#include "resources/resource_ids.h"
#include "ui/app_state.h"
#include "ui/checks.h"
#include "ui/slot_view.h"

namespace {

bool holds_blocks(int slot) { return app.slots.status[slot] != kSlotEmpty; }
bool holds_save(int slot) { return app.slots.status[slot] > 0; }
bool gme_card() { return app.file.format == CardFormat::gme; }
bool holds_deleted_save(int slot) { return is_deleted_first_block(app.card, slot); }

// Items that cannot apply to the slot are greyed; the others say, as the
// buttons do, why they refuse.
struct SlotMenuItem {
  UINT id;
  const char* text;
  bool (*applies)(int slot);
  bool (*shown)() = nullptr;  // null: on every card
};
const SlotMenuItem kItems[] = {
    {IDM_EXPORT_SAVE_AS, "Export Save As...", holds_blocks},
    {IDM_SAVE_ICON_AS, "Save Icon As...", holds_blocks},
    {IDM_COPY_SAVE_TO_FILE, "Copy Save to Card File...", holds_blocks},
    {IDM_RESTORE_SAVE, "Restore Deleted Save", holds_deleted_save},
    {IDC_DELETE_SAVE, "Delete Save", holds_blocks},
    {IDM_RENAME_SAVE, "Rename Save...", holds_save},
    {IDM_EDIT_COMMENT, "Edit Comment...", holds_save, gme_card},
};

// The chosen item comes back to the window as its WM_COMMAND, on the
// selected slot.
void track_menu(POINT at) {
  HMENU menu = CreatePopupMenu();
  if (!menu) return;
  for (const SlotMenuItem& item : kItems)
    if (!item.shown || item.shown())
      AppendMenuA(menu, MF_STRING | (item.applies(app.selected) ? MF_ENABLED : MF_GRAYED), item.id,
                  item.text);
  TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, app.window, nullptr);
  DestroyMenu(menu);
}

// Below the slot's left corner, as a keyboard menu opens in a list.
POINT below(int slot) {
  RECT rect = {};
  GetWindowRect(GetDlgItem(app.window, IDC_FIRST_SLOT + slot), &rect);
  return POINT{rect.left, rect.bottom};
}

}  // namespace

bool open_slot_menu(HWND from, LPARAM where) {
  const POINT at = {GET_X_LPARAM(where), GET_Y_LPARAM(where)};
  const bool from_keyboard = at.x == -1 && at.y == -1;
  const int id = GetDlgCtrlID(from);
  if (from_keyboard && (from == app.window || id < IDC_FIRST_SLOT || id > IDC_LAST_SLOT)) {
    open_selected_slot_menu();
    return true;
  }
  if (id < IDC_FIRST_SLOT || id > IDC_LAST_SLOT || GetParent(from) != app.window) return false;
  if (!require_card()) return true;
  select_slot(id - IDC_FIRST_SLOT);
  if (app.selected >= 0) track_menu(from_keyboard ? below(app.selected) : at);
  return true;
}

void open_selected_slot_menu() {
  if (!require_card() || !require_selection()) return;
  track_menu(below(app.selected));
}
