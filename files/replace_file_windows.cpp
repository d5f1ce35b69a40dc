// The Windows way to put a fully written file in place of the old one: the
// one file of the portable core that needs the platform's own header.
#include <windows.h>

#include "files/file_io.h"

namespace {

// Windows refuses to replace a file that another program has open without
// letting it be deleted (ERROR_ACCESS_DENIED or ERROR_SHARING_VIOLATION).
// A virus scanner, the search indexer or a viewer often holds the old file
// for a moment just after it changed: try again for about a second before
// reporting that the file cannot be written.
constexpr int kReplaceAttempts = 20;
constexpr DWORD kReplaceRetryMs = 50;

}  // namespace

bool replace_file(const std::string& from, const std::string& to) {
  for (int attempt = 1;; ++attempt) {
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      return true;
    const DWORD error = GetLastError();
    if ((error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) || attempt == kReplaceAttempts)
      return false;
    Sleep(kReplaceRetryMs);
  }
}
