// The slot menu's "Rename Save..." (the save's name, in its three parts)
// and, on a GME card, "Edit Comment..."; each is one undoable step.
#pragma once

void rename_save_command();
void edit_comment_command();
