// The program's one window: a modal dialog whose end ends the program.
#pragma once

#include <windows.h>

INT_PTR CALLBACK main_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
