// Process entry: runs the main window modally; its result is the exit code.
#include <windows.h>

#include <commctrl.h>

#include "resources/resource_ids.h"
#include "ui/app_state.h"
#include "ui/main_window.h"

AppState app;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  app.instance = GetModuleHandleA(nullptr);
  (void)instance;
  return int(DialogBoxParamA(app.instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, main_window_proc, 0));
}
