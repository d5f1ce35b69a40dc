// The dialog that names a raw save: region, licensing, type, game number,
// file-name part and PocketStation mark make the save's file name.
#pragma once

#include <string>

// Runs the dialog modally with no owner while the main window is hidden (the
// caller hides it; the dialog shows it again when it closes). It opens
// filled in with `suggested` (the name the file's name holds), when given:
// its controls chosen where they can compose it, otherwise the name shown
// until all three lists have a choice. Returns the composed name, or ""
// when the user gave none or cancelled.
std::string run_name_dialog(const std::string& suggested = "");
