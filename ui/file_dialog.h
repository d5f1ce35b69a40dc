// The common open and save dialogs, owned by the main window.
#pragma once

#include <string>

// `filter` is the dialog's filter list: description, NUL, pattern, NUL, NUL.
// Both return false when the user cancels.
bool ask_open_path(const char* filter, std::string& path);
bool ask_save_path(const char* filter, const char* default_extension, std::string& path);
// The same, telling which entry of the filter list was chosen, from 1. The
// name gets the chosen entry's extension when it was typed without one.
bool ask_save_path(const char* filter, const char* default_extension, std::string& path, int& chosen_filter);
