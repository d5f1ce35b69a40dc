// What a save dragged out of the window carries: one file, as the shell's
// CF_HDROP list, which Explorer, the desktop and other programs take.
#pragma once

#include <windows.h>

#include <ole2.h>

#include <string>
#include <vector>

// A new data object holding `path`, with one reference for the caller.
IDataObject* create_file_data_object(const std::string& path);

// The files a CF_HDROP list names, in its order.
std::vector<std::string> paths_of_drop(HDROP drop);
