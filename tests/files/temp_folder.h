// A private folder for one test's files.
#pragma once

#include <cstdlib>
#include <string>

#include <unistd.h>

class TempFolder {
 public:
  TempFolder() {
    char pattern[] = "/tmp/quillcrest-test-XXXXXX";
    folder_ = mkdtemp(pattern);
  }
  ~TempFolder() { std::system(("rm -rf '" + folder_ + "'").c_str()); }
  std::string path(const std::string& name) const { return folder_ + "/" + name; }

 private:
  std::string folder_;
};
