// Moving one save between the card and a file: MCS or raw import, MCS export.
#pragma once

#include <string>

void import_save_command();
void import_save_file(const std::string& path);
void export_save_command();
