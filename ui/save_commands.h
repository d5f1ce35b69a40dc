// Moving one save between the card and a file: MCS or raw import, MCS export.
#pragma once

void import_save_command();
void export_save_command();
