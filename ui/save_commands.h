// Moving one save between the card and a file: MCS or raw import, MCS export.
#pragma once

#include <string>

void import_save_command();
// The import of a save file of any format into the loaded card, as the
// button imports the file it asks for.
void import_save_from(const std::string& path);
void export_save_command();
