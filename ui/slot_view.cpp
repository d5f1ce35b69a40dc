#include "ui/slot_view.h"

#include <cstdio>
#include <string>

#include "card/slot_text.h"
#include "resources/resource_ids.h"
#include "ui/app_state.h"
#include "ui/icon_bitmap.h"

namespace {

const COLORREF kSelectedColour = RGB(0, 255, 0);
const COLORREF kFrameColour = RGB(0, 0, 0);

// A control's window rectangle in the main window's client coordinates.
RECT control_rect(int control) {
  RECT rect = {};
  GetWindowRect(GetDlgItem(app.window, control), &rect);
  POINT corner = {rect.left, rect.top};
  ScreenToClient(app.window, &corner);
  return RECT{corner.x, corner.y, corner.x + (rect.right - rect.left),
              corner.y + (rect.bottom - rect.top)};
}

void frame_control(HDC dc, int control, COLORREF colour) {
  const RECT r = control_rect(control);
  const int w = r.right - r.left, h = r.bottom - r.top, x = r.left, y = r.top;
  SetDCPenColor(dc, colour);
  Rectangle(dc, x - 1, y - 1, x + w, y + h + 1);
  Rectangle(dc, x, y, x + w - 1, y + h);
}

// Frame 0 of the icon slot i shows: its own, or its owner's for a further block.
HBITMAP first_frame_shown(int slot) {
  const int source = icon_source(app.slots, slot);
  return source < 0 ? nullptr : app.icons[source][0];
}

void set_texts(const char* text) {
  SetDlgItemTextA(app.window, IDC_TITLE, text);
  SetDlgItemTextA(app.window, IDC_SAVE_GROUP, text);
  SetDlgItemTextA(app.window, IDC_INFO, text);
}

void show_save_texts(int slot) {
  const std::string title = title_bytes(app.card, slot);
  wchar_t wide[kTitleSize + 1] = {};
  const int length = title.empty() ? 0
                                   : MultiByteToWideChar(932, MB_PRECOMPOSED, title.data(),
                                                         int(title.size()), wide, int(kTitleSize));
  wide[length] = 0;
  SetDlgItemTextW(app.window, IDC_TITLE, wide);
  SetDlgItemTextA(app.window, IDC_SAVE_GROUP, name_caption(app.card, slot).c_str());
  SetDlgItemTextA(app.window, IDC_INFO,
                  info_line(app.card, slot, app.slots.status[slot]).c_str());
}

void rebuild_icon_bitmaps() {
  destroy_slot_icons();
  for (int slot = 0; slot < kSlotCount; ++slot) {
    const SlotIcons& icons = app.slots.icons[slot];
    for (int k = 0; k < icons.count; ++k) app.icons[slot][k] = create_icon_bitmap(icons.frames[k]);
  }
}

}  // namespace

void draw_icon(HBITMAP image, int control) {
  if (!image) return;
  const RECT r = control_rect(control);
  HDC window_dc = GetDC(app.window);
  HDC memory_dc = CreateCompatibleDC(window_dc);
  HGDIOBJ previous = SelectObject(memory_dc, image);
  BitBlt(window_dc, r.left + 1, r.top + 1, kIconSide, kIconSide, memory_dc, 0, 0, SRCCOPY);
  SelectObject(memory_dc, previous);
  DeleteDC(memory_dc);
  ReleaseDC(app.window, window_dc);
}

void draw_selection_frames() {
  HDC dc = GetDC(app.window);
  SelectObject(dc, GetStockObject(DC_PEN));
  SelectObject(dc, GetStockObject(NULL_BRUSH));
  SetROP2(dc, R2_COPYPEN);
  for (int slot = 0; slot < kSlotCount; ++slot) {
    const bool in_selection =
        app.selected >= 0 && (slot == app.selected || app.slots.owner[slot] == app.selected);
    frame_control(dc, IDC_FIRST_SLOT + slot, in_selection ? kSelectedColour : kFrameColour);
  }
  frame_control(dc, IDC_LARGE_ICON, kFrameColour);
  ReleaseDC(app.window, dc);
}

void select_slot(int slot) {
  if (!is_loaded(app.card)) return;
  if (slot >= 0 && app.slots.status[slot] == kSlotFurtherBlock) slot = app.slots.owner[slot];
  app.selected = slot < 0 ? -1 : slot;
  draw_selection_frames();
  if (slot < 0) {
    draw_icon(app.blank_icon, IDC_LARGE_ICON);
    set_texts("");
    return;
  }
  draw_icon(app.icons[slot][0], IDC_LARGE_ICON);
  const int status = app.slots.status[slot];
  if (status == kSlotCorrupted)
    set_texts("Corrupted Block");
  else if (status == kSlotEmpty)
    set_texts("Empty Block");
  else
    show_save_texts(slot);
}

// Every slot shows frame (tick mod n) of its icon's n frames; still icons
// are drawn only when asked for.
static void draw_slot_icons(bool still_icons_too) {
  const int tick = app.tick;
  for (int slot = 0; slot < kSlotCount; ++slot) {
    const int source = icon_source(app.slots, slot);
    if (source < 0) continue;
    const int frames = app.slots.icons[source].count;
    if (frames < 2 && !still_icons_too) continue;
    draw_icon(app.icons[source][tick % frames], IDC_FIRST_SLOT + slot);
  }
}

void animate_slots() { draw_slot_icons(false); }

Failure analyse_and_show() {
  if (is_loaded(app.card)) select_slot(-1);
  Failure failure = analyse_card(app.card, app.slots, app.allow_corrupted);
  if (failure) return failure;
  rebuild_icon_bitmaps();
  for (int slot = 0; slot < kSlotCount; ++slot)
    draw_icon(first_frame_shown(slot), IDC_FIRST_SLOT + slot);
  app.analysed = true;
  app.tick = 0;
  app.animation_on = true;
  draw_selection_frames();
  char counter[16];
  std::snprintf(counter, sizeof counter, "%d/15", app.slots.used);
  SetDlgItemTextA(app.window, IDC_COUNTER, counter);
  return std::nullopt;
}

void redraw_slot_view() {
  // Before the first analysis there is nothing to draw; while a job runs,
  // the read job may be rebuilding the icons.
  if (!app.analysed || app.worker) return;
  draw_slot_icons(true);
  draw_selection_frames();
  if (app.selected >= 0)
    draw_icon(app.icons[app.selected][0], IDC_LARGE_ICON);
  else
    draw_icon(app.blank_icon, IDC_LARGE_ICON);
}

void destroy_slot_icons() {
  for (auto& slot : app.icons)
    for (HBITMAP& frame : slot) destroy_bitmap(frame);
}
