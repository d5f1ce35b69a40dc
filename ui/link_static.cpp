#include "ui/link_static.h"

#include <shellapi.h>

namespace {

// Per-window data lives in named properties, so any static can become a link.
const char kOriginalProc[] = "_Hyperlink_Original_Proc_";
const char kOriginalFont[] = "_Hyperlink_Original_Font_";
const char kUnderlineFont[] = "_Hyperlink_Underline_Font_";
const char kFromStatic[] = "_Hyperlink_From_Static_";

const COLORREF kLinkColour = 0xC00000;  // blue 0xC0 in a COLORREF's high byte

WNDPROC original_proc(HWND window) { return reinterpret_cast<WNDPROC>(GetPropA(window, kOriginalProc)); }

LRESULT CALLBACK link_parent_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  const WNDPROC original = original_proc(window);
  if (message == WM_CTLCOLORSTATIC && GetPropA(reinterpret_cast<HWND>(lparam), kFromStatic)) {
    const LRESULT result = CallWindowProcA(original, window, message, wparam, lparam);
    SetTextColor(reinterpret_cast<HDC>(wparam), kLinkColour);
    return result;
  }
  if (message == WM_DESTROY) {
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
    RemovePropA(window, kOriginalProc);
  }
  return CallWindowProcA(original, window, message, wparam, lparam);
}

void set_font(HWND control, const char* property) {
  SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(GetPropA(control, property)), FALSE);
  InvalidateRect(control, nullptr, FALSE);
}

LRESULT CALLBACK link_proc(HWND control, UINT message, WPARAM wparam, LPARAM lparam) {
  const WNDPROC original = original_proc(control);
  switch (message) {
    case WM_SETCURSOR: {
      HCURSOR cursor = LoadCursorA(nullptr, IDC_HAND);
      SetCursor(cursor ? cursor : LoadCursorA(nullptr, IDC_ARROW));
      return TRUE;
    }
    case WM_MOUSEMOVE:
      if (GetCapture() == control) {
        POINT point = {short(LOWORD(lparam)), short(HIWORD(lparam))};
        ClientToScreen(control, &point);
        RECT rect;
        GetWindowRect(control, &rect);
        if (!PtInRect(&rect, point)) {
          set_font(control, kOriginalFont);
          ReleaseCapture();
        }
      } else {
        set_font(control, kUnderlineFont);
        SetCapture(control);
      }
      break;
    case WM_DESTROY: {
      SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
      RemovePropA(control, kOriginalProc);
      SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(GetPropA(control, kOriginalFont)), FALSE);
      RemovePropA(control, kOriginalFont);
      DeleteObject(static_cast<HGDIOBJ>(GetPropA(control, kUnderlineFont)));
      RemovePropA(control, kUnderlineFont);
      RemovePropA(control, kFromStatic);
      break;
    }
  }
  return CallWindowProcA(original, control, message, wparam, lparam);
}

}  // namespace

void make_link(HWND control) {
  HWND parent = GetParent(control);
  if (parent &&
      reinterpret_cast<WNDPROC>(GetWindowLongPtrA(parent, GWLP_WNDPROC)) != link_parent_proc) {
    SetPropA(parent, kOriginalProc, reinterpret_cast<HANDLE>(GetWindowLongPtrA(parent, GWLP_WNDPROC)));
    SetWindowLongPtrA(parent, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(link_parent_proc));
  }
  SetWindowLongPtrA(control, GWL_STYLE, GetWindowLongPtrA(control, GWL_STYLE) | SS_NOTIFY);
  SetPropA(control, kOriginalProc, reinterpret_cast<HANDLE>(GetWindowLongPtrA(control, GWLP_WNDPROC)));
  SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(link_proc));

  HFONT font = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
  SetPropA(control, kOriginalFont, font);
  LOGFONTA description = {};
  GetObjectA(font ? static_cast<HGDIOBJ>(font) : GetStockObject(DEFAULT_GUI_FONT), sizeof description,
             &description);
  description.lfUnderline = TRUE;
  SetPropA(control, kUnderlineFont, CreateFontIndirectA(&description));
  SetPropA(control, kFromStatic, reinterpret_cast<HANDLE>(1));
}

void open_address(const char* address) {
  ShellExecuteA(nullptr, "open", address, nullptr, nullptr, SW_SHOWNORMAL);
}
