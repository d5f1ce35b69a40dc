// A private folder for one test's files.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include <unistd.h>

class TempFolder {
 public:
  TempFolder() {
    char pattern[] = "/tmp/quillcrest-test-XXXXXX";
    folder_ = mkdtemp(pattern);
  }
  ~TempFolder() {
    std::error_code left_behind;  // a folder under /tmp; nothing to report
    std::filesystem::remove_all(folder_, left_behind);
  }
  std::string path(const std::string& name) const { return folder_ + "/" + name; }

 private:
  std::string folder_;
};
