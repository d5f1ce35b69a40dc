#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "files/folders.h"

namespace {

bool is_folder(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

}  // namespace

// A relative XDG_DATA_HOME is ignored, as freedesktop.org's base directory
// rules ask of every program.
std::string user_data_folder() {
  const char* data_home = std::getenv("XDG_DATA_HOME");
  if (data_home && data_home[0] == '/') return std::string(data_home) + "/quillcrest";
  const char* home = std::getenv("HOME");
  if (home && home[0] != 0) return std::string(home) + "/.local/share/quillcrest";
  return "";
}

std::string path_in(const std::string& folder, const std::string& name) {
  return folder + "/" + name;
}

// The user's saves are nobody else's business: folders made here are private.
bool make_folders(const std::string& folder) {
  for (size_t end = folder.find('/', 1);; end = folder.find('/', end + 1)) {
    const std::string part = folder.substr(0, end);
    if (mkdir(part.c_str(), 0700) != 0 && !is_folder(part)) return false;
    if (end == std::string::npos) break;
  }
  return is_folder(folder);
}

std::vector<std::string> files_in(const std::string& folder) {
  std::vector<std::string> names;
  DIR* listing = opendir(folder.c_str());
  if (!listing) return names;
  while (const dirent* entry = readdir(listing)) {
    struct stat status;
    if (stat(path_in(folder, entry->d_name).c_str(), &status) == 0 && S_ISREG(status.st_mode))
      names.push_back(entry->d_name);
  }
  closedir(listing);
  return names;
}

std::vector<std::string> folders_in(const std::string& folder) {
  std::vector<std::string> names;
  DIR* listing = opendir(folder.c_str());
  if (!listing) return names;
  while (const dirent* entry = readdir(listing)) {
    const std::string name = entry->d_name;
    if (name != "." && name != ".." && is_folder(path_in(folder, name))) names.push_back(name);
  }
  closedir(listing);
  return names;
}

PathKind path_kind(const std::string& path) {
  struct stat status;
  if (stat(path.c_str(), &status) != 0) return errno == ENOENT || errno == ENOTDIR ? PathKind::missing : PathKind::other;
  if (S_ISREG(status.st_mode)) return PathKind::file;
  return S_ISDIR(status.st_mode) ? PathKind::folder : PathKind::other;
}

bool create_new_file(const std::string& path) {
  const int file = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
  if (file < 0) return false;
  close(file);
  return true;
}

bool local_time(std::time_t when, std::tm& out) { return localtime_r(&when, &out) != nullptr; }
