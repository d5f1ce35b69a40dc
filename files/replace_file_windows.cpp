// The Windows way to put a fully written file in place of the old one: the
// one file of the portable core that needs the platform's own header.
#include <windows.h>

#include "files/file_io.h"

bool replace_file(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}
