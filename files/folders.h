// What the backups need from the system beside whole files: where the
// user's data lives, folders, a file name no one else has, the local time.
// Defined per platform, as replace_file is.
#pragma once

#include <ctime>
#include <string>
#include <vector>

// The folder the program keeps this user's data in, from the environment:
// $XDG_DATA_HOME/quillcrest, or $HOME/.local/share/quillcrest, on POSIX
// systems; %LOCALAPPDATA%\Quillcrest on Windows. Empty when the environment
// names none.
std::string user_data_folder();

// `name` in `folder`, joined with the system's separator.
std::string path_in(const std::string& folder, const std::string& name);

// Makes the folder and the folders above it that are missing; true when it
// is a folder afterwards.
bool make_folders(const std::string& folder);

// The names of the plain files in a folder; none when it cannot be read.
std::vector<std::string> files_in(const std::string& folder);

// The names of the folders in a folder, without "." and ".."; none when it
// cannot be read.
std::vector<std::string> folders_in(const std::string& folder);

// What a path names: nothing, a plain file, a folder or anything else (a
// device, a socket), following symbolic links.
enum class PathKind { missing, file, folder, other };
PathKind path_kind(const std::string& path);

// Creates `path` as an empty file only when nothing of that name exists:
// two programs never get the same name.
bool create_new_file(const std::string& path);

// The local time of `when`; false when the system cannot tell it.
bool local_time(std::time_t when, std::tm& out);
