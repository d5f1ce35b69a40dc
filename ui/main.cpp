// Process entry: runs the main window modally; its result is the exit code.
// The files named on the command line are opened once the window shows.
#include <windows.h>

#include <commctrl.h>
#include <ole2.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "ui/app_state.h"
#include "ui/main_window.h"

AppState app;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  app.instance = GetModuleHandleA(nullptr);
  (void)instance;
  // Drag and drop, and WIC for the icon pictures, need COM on this thread.
  const HRESULT ole = OleInitialize(nullptr);
  std::vector<std::string> files(__argv + 1, __argv + __argc);
  const INT_PTR result = DialogBoxParamA(app.instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, main_window_proc,
                                         reinterpret_cast<LPARAM>(&files));
  if (SUCCEEDED(ole)) OleUninitialize();
  return int(result);
}
