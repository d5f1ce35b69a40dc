// The common open and save dialogs, owned by the main window.
#pragma once

#include <string>

// The card image files "Open MC/GME" lists (type * for the others).
inline const char kCardFileFilter[] = "Memory Card File\0*.mc;*.mcr;*.mcd;*.mcx;*.gme\0";

// `filter` is the dialog's filter list: description, NUL, pattern, NUL, NUL.
// Both return false when the user cancels.
bool ask_open_path(const char* filter, std::string& path);
bool ask_save_path(const char* filter, const char* default_extension, std::string& path);
// The same, telling which entry of the filter list was chosen, from 1. The
// name gets the chosen entry's extension when it was typed without one;
// `suggested` fills the name field.
bool ask_save_path(const char* filter, const char* default_extension, std::string& path, int& chosen_filter,
                   const std::string& suggested = "");
