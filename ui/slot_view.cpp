#include "ui/slot_view.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "card/slot_text.h"
#include "card/undelete.h"
#include "resources/resource_ids.h"
#include "ui/app_state.h"
#include "ui/dpi.h"
#include "ui/icon_bitmap.h"
#include "ui/undo_commands.h"

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

// Two bands of a frame's width each: the outer one outside the control on
// three sides (inside on the right), the inner one within it. At 96 DPI each
// is one rectangle of a pixel, the outer a pixel outside; a wider frame is
// the same, drawn with whole pixels as many times.
void frame_control(HDC dc, int control, COLORREF colour) {
  const RECT r = control_rect(control);
  const int w = r.right - r.left, h = r.bottom - r.top, x = r.left, y = r.top, f = app.frame_width;
  SetDCPenColor(dc, colour);
  for (int i = 0; i < f; ++i) {
    Rectangle(dc, x - f + i, y - f + i, x + w - i, y + h + f - i);
    Rectangle(dc, x + i, y + i, x + w - f - i, y + h - i);
  }
}

// A control repaints whenever its text is set; most often it already
// holds the text (empty, or the same count).
void set_text_unless_shown(int control, const char* text) {
  char shown[128] = {};
  GetDlgItemTextA(app.window, control, shown, sizeof shown);
  if (std::strcmp(shown, text) != 0) SetDlgItemTextA(app.window, control, text);
}

void set_texts(const char* text) {
  set_text_unless_shown(IDC_TITLE, text);
  set_text_unless_shown(IDC_SAVE_GROUP, text);
  set_text_unless_shown(IDC_INFO, text);
}

// The title in the block's save header, from Shift-JIS.
std::wstring title_text(int slot) {
  const std::string title = title_bytes(app.card, slot);
  wchar_t wide[kTitleSize + 1] = {};
  const int length = title.empty() ? 0
                                   : MultiByteToWideChar(932, MB_PRECOMPOSED, title.data(),
                                                         int(title.size()), wide, int(kTitleSize));
  wide[length] = 0;
  return wide;
}

void show_save_texts(int slot) {
  SetDlgItemTextW(app.window, IDC_TITLE, title_text(slot).c_str());
  SetDlgItemTextA(app.window, IDC_SAVE_GROUP, name_caption(app.card, slot).c_str());
  SetDlgItemTextA(app.window, IDC_INFO,
                  info_line(app.card, slot, app.slots.status[slot]).c_str());
}

// A free block may still hold a deleted save that can be restored: the
// information line names it, the icon stays the free block's.
void show_free_texts(int slot) {
  set_texts("Empty Block");
  if (is_deleted_first_block(app.card, slot) && SaveHeader{data_block(app.card, slot)}.has_magic())
    SetDlgItemTextW(app.window, IDC_INFO, (L"Deleted save: " + title_text(slot)).c_str());
}

// Draws icons and frames into the main window through one device context.
class IconPainter {
 public:
  IconPainter() : window_dc_(GetDC(app.window)), memory_dc_(CreateCompatibleDC(window_dc_)) {
    SelectObject(window_dc_, GetStockObject(DC_PEN));
    SelectObject(window_dc_, GetStockObject(NULL_BRUSH));
    SetROP2(window_dc_, R2_COPYPEN);
  }
  ~IconPainter() {
    DeleteDC(memory_dc_);
    ReleaseDC(app.window, window_dc_);
  }
  IconPainter(const IconPainter&) = delete;
  IconPainter& operator=(const IconPainter&) = delete;

  void draw(HBITMAP image, int control) {
    if (!image) return;
    const RECT r = control_rect(control);
    HGDIOBJ previous = SelectObject(memory_dc_, image);
    const int side = icon_bitmap_side(app.icon_pixel);
    BitBlt(window_dc_, r.left + app.frame_width, r.top + app.frame_width, side, side, memory_dc_, 0, 0, SRCCOPY);
    SelectObject(memory_dc_, previous);
  }

  // Green around the blocks of the selected save, black elsewhere.
  void draw_selection_frames() {
    for (int slot = 0; slot < kSlotCount; ++slot) {
      const bool in_selection =
          app.selected >= 0 && (slot == app.selected || app.slots.owner[slot] == app.selected);
      frame_control(window_dc_, IDC_FIRST_SLOT + slot, in_selection ? kSelectedColour : kFrameColour);
    }
    frame_control(window_dc_, IDC_LARGE_ICON, kFrameColour);
  }

 private:
  HDC window_dc_;
  HDC memory_dc_;
};

// Slot i shows frame n of its icon, or of its owner's for a further block;
// the frame is remembered so that a repaint shows it again.
void draw_slot_frame(IconPainter& painter, int slot, int n) {
  const int source = icon_source(app.slots, slot);
  if (source < 0) return;
  app.shown_frame[slot] = n;
  painter.draw(app.icons[source][n], IDC_FIRST_SLOT + slot);
}

}  // namespace

void draw_icon(HBITMAP image, int control) {
  IconPainter painter;
  painter.draw(image, control);
}

void draw_selection_frames() {
  IconPainter painter;
  painter.draw_selection_frames();
}

void select_slot(int slot) {
  if (!is_loaded(app.card)) return;
  if (slot >= 0) slot = selected_save(app.slots, slot);
  if (slot < 0) {
    clear_selection_view();
    return;
  }
  app.selected = slot;
  draw_selection_frames();
  draw_icon(app.icons[slot][0], IDC_LARGE_ICON);
  const int status = app.slots.status[slot];
  if (status == kSlotCorrupted)
    set_texts("Corrupted Block");
  else if (status == kSlotEmpty)
    show_free_texts(slot);
  else
    show_save_texts(slot);
}

void animate_slots() {
  IconPainter painter;
  for (int slot = 0; slot < kSlotCount; ++slot) {
    const int source = icon_source(app.slots, slot);
    if (source < 0) continue;
    const int frames = app.slots.icons[source].count;
    if (frames >= 2) draw_slot_frame(painter, slot, app.tick % frames);
  }
}

AnalysedView::~AnalysedView() {
  for (auto& slot : icons)
    for (HBITMAP& frame : slot) destroy_bitmap(frame);
}

Failure analyse_for_view(CardImage& card, bool allow_corrupted, AnalysedView& view) {
  if (Failure failure = analyse_card(card, view.slots, allow_corrupted)) return failure;
  for (int slot = 0; slot < kSlotCount; ++slot) {
    const SlotIcons& icons = view.slots.icons[slot];
    for (int k = 0; k < icons.count; ++k) view.icons[slot][k] = create_icon_bitmap(icons.frames[k], app.icon_pixel);
  }
  return std::nullopt;
}

void clear_selection_view() {
  app.selected = -1;
  draw_selection_frames();
  draw_icon(app.blank_icon, IDC_LARGE_ICON);
  set_texts("");
}

void show_analysed_view(AnalysedView& view, bool clear_selection) {
  destroy_slot_icons();
  app.slots = view.slots;
  std::memcpy(app.icons, view.icons, sizeof app.icons);
  std::memset(view.icons, 0, sizeof view.icons);  // the window owns them now
  if (clear_selection) {
    app.selected = -1;
    set_texts("");
  }
  {
    IconPainter painter;
    for (int slot = 0; slot < kSlotCount; ++slot) draw_slot_frame(painter, slot, 0);
    if (clear_selection) painter.draw(app.blank_icon, IDC_LARGE_ICON);
    painter.draw_selection_frames();
  }
  app.analysed = true;
  app.tick = 0;
  app.animation_on = true;
  char counter[16];
  std::snprintf(counter, sizeof counter, "%d/15", app.slots.used);
  set_text_unless_shown(IDC_COUNTER, counter);
}

Failure analyse_and_show() {
  const bool had_card = is_loaded(app.card);
  auto view = std::make_unique<AnalysedView>();  // on the heap: it holds every decoded icon
  if (Failure failure = analyse_for_view(app.card, app.allow_corrupted, *view)) {
    if (had_card) clear_selection_view();
    return failure;
  }
  show_analysed_view(*view, had_card);
  record_card_change();
  return std::nullopt;
}

void redraw_slot_view() {
  if (!app.analysed) return;  // nothing drawn yet
  IconPainter painter;
  for (int slot = 0; slot < kSlotCount; ++slot) draw_slot_frame(painter, slot, app.shown_frame[slot]);
  painter.draw_selection_frames();
  painter.draw(app.selected >= 0 ? app.icons[app.selected][0] : app.blank_icon, IDC_LARGE_ICON);
}

void destroy_slot_icons() {
  for (auto& slot : app.icons)
    for (HBITMAP& frame : slot) destroy_bitmap(frame);
}

void show_no_card() {
  destroy_slot_icons();
  app.slots = SlotTable{};
  app.analysed = false;
  app.animation_on = false;
  app.selected = -1;
  // The template's own texts.
  set_text_unless_shown(IDC_TITLE, "Title");
  set_text_unless_shown(IDC_SAVE_GROUP, "");
  set_text_unless_shown(IDC_INFO, "Info:");
  set_text_unless_shown(IDC_COUNTER, "0/15");
  // The slots' own black frames, over what the view drew on them.
  InvalidateRect(app.window, nullptr, TRUE);
}

void rescale_slot_view(int dpi) {
  const IconScale scale = icon_scale(dpi);
  if (scale.pixel == app.icon_pixel && scale.frame == app.frame_width) return;
  app.icon_pixel = scale.pixel;
  app.frame_width = scale.frame;
  destroy_bitmap(app.blank_icon);
  app.blank_icon = create_icon_bitmap(white_placeholder(), app.icon_pixel);
  for (int slot = 0; slot < kSlotCount; ++slot)
    for (int k = 0; k < app.slots.icons[slot].count; ++k) {
      destroy_bitmap(app.icons[slot][k]);
      app.icons[slot][k] = create_icon_bitmap(app.slots.icons[slot].frames[k], app.icon_pixel);
    }
  InvalidateRect(app.window, nullptr, TRUE);
}
