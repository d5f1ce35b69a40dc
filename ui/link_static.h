// Static texts that behave as web links: blue, underlined under the
// pointer, with the hand cursor; their clicks reach the parent as commands.
#pragma once

#include <windows.h>

void make_link(HWND control);
// Opens an address with the shell's "open" verb; a failure is not reported.
void open_address(const char* address);
