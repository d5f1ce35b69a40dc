// Commands on the whole card: image files, a new card, deleting a save.
#pragma once

#include <string>

void open_card_file();
// The same for a file already named: the question before a loaded card is
// discarded, then the file.
void open_card_named(const std::string& path);
void save_card_file();
void new_card();
void delete_selected_save();
