// Commands on the whole card: image files, a new card, deleting a save.
#pragma once

void open_card_file();
void save_card_file();
void new_card();
void delete_selected_save();
