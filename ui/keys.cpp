#include "ui/keys.h"

#include <windows.h>

#include "resources/resource_ids.h"
#include "ui/app_state.h"

namespace {

HHOOK hook = nullptr;
HACCEL keys = nullptr;  // from the resources: freed with the program

// Keys for the main window only, and only while it may take commands: a
// message box, a file dialog or a job disables it.
bool for_main_window(const MSG& message) {
  return IsWindowEnabled(app.window) &&
         (message.hwnd == app.window || IsChild(app.window, message.hwnd));
}

LRESULT CALLBACK filter_dialog_messages(int code, WPARAM wparam, LPARAM lparam) {
  MSG* message = reinterpret_cast<MSG*>(lparam);
  if (code == MSGF_DIALOGBOX && message && for_main_window(*message)) {
    // The menu key opened the slot menu on its way down; on its way up the
    // system would open a menu of its own.
    if (message->message == WM_KEYUP && message->wParam == VK_APPS) return TRUE;
    if (TranslateAcceleratorA(app.window, keys, message)) return TRUE;
  }
  return CallNextHookEx(hook, code, wparam, lparam);
}

}  // namespace

void install_keys() {
  keys = LoadAcceleratorsA(app.instance, MAKEINTRESOURCEA(IDR_KEYS));
  hook = SetWindowsHookExA(WH_MSGFILTER, filter_dialog_messages, nullptr, GetCurrentThreadId());
}

void remove_keys() {
  if (hook) UnhookWindowsHookEx(hook);
  hook = nullptr;
}
