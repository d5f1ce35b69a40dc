// Commands on the whole card: image files, a new card, deleting and
// restoring a save.
#pragma once

#include <string>

void open_card_file();
// The same for a file already named: the question before a loaded card is
// discarded, then the file.
void open_card_named(const std::string& path);
void save_card_file();
void new_card();
void delete_selected_save();
// The Delete key: asks first, then deletes as the button does.
void delete_key_command();
// The selected free slot's deleted save back, or why it cannot be.
void restore_deleted_save();

// Back to no card at all, as at start: the card, its file, its view and
// its history forgotten.
void forget_card();
