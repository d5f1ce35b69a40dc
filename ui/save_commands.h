// Moving one save between the card and a file: MCS or raw import, export,
// and a copy into another card file.
#pragma once

#include <string>

void import_save_command();
// The import of a save file of any format into the loaded card, as the
// button imports the file it asks for; false when nothing was imported.
bool import_save_from(const std::string& path);
void export_save_command();
// The slot menu's export: the format chosen among the file types.
void export_save_as_command();
// The selected save into a card file of any format, which is backed up
// first and written back in its own format.
void copy_save_to_card_file_command();
