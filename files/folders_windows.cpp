// Folders, new files and the local time through the Windows API, with the
// same "A" (system code page) paths as every other file of the program.
#include <windows.h>

#include <cstdlib>

#include "files/folders.h"

namespace {

bool is_folder(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

std::string user_data_folder() {
  const char* local = std::getenv("LOCALAPPDATA");
  if (local && local[0] != 0) return std::string(local) + "\\Quillcrest";
  return "";
}

std::string path_in(const std::string& folder, const std::string& name) {
  return folder + "\\" + name;
}

// Each folder from the top down; a drive ("C:") or a share ("\\server\share")
// fails to be made and is simply passed.
bool make_folders(const std::string& folder) {
  for (size_t end = folder.find_first_of("\\/", 1);; end = folder.find_first_of("\\/", end + 1)) {
    CreateDirectoryA(folder.substr(0, end).c_str(), nullptr);
    if (end == std::string::npos) break;
  }
  return is_folder(folder);
}

std::vector<std::string> files_in(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(path_in(folder, "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return names;
}

std::vector<std::string> folders_in(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(path_in(folder, "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = found.cFileName;
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != "." && name != "..")
      names.push_back(name);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return names;
}

PathKind path_kind(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? PathKind::missing : PathKind::other;
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return PathKind::folder;
  return attributes & FILE_ATTRIBUTE_DEVICE ? PathKind::other : PathKind::file;
}

bool create_new_file(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

bool local_time(std::time_t when, std::tm& out) { return localtime_s(&out, &when) == 0; }
