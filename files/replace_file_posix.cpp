#include <cstdio>

#include "files/file_io.h"

// rename() replaces an existing target atomically on POSIX systems.
bool replace_file(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}
