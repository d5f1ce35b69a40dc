// "Read from PS3MCA" and "Write to PS3MCA": jobs on a worker thread while
// the main window is disabled; the worker posts WM_APP when it is done.
#pragma once

#include <windows.h>

// At start-up: opens the adaptor, or says why not and disables both commands.
void connect_adaptor(HWND window);
void read_card_command();
void write_card_command();
