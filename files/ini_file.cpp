#include "files/ini_file.h"

#include "files/file_io.h"

namespace {

constexpr size_t kLargestIniFile = 64 * 1024;

std::string trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

}  // namespace

IniEntries ini_section(const std::string& text, const std::string& section) {
  IniEntries entries;
  bool inside = false;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = trimmed(text.substr(start, end - start));
    start = end + 1;
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line.front() == '[' && line.back() == ']') {
      inside = same_ignoring_case(trimmed(line.substr(1, line.size() - 2)), section);
      continue;
    }
    const size_t equals = line.find('=');
    if (!inside || equals == std::string::npos || equals == 0) continue;
    entries.emplace_back(trimmed(line.substr(0, equals)), trimmed(line.substr(equals + 1)));
  }
  return entries;
}

std::string read_ini_file(const std::string& path) {
  FilePrefix file;
  if (read_file_prefix(path, kLargestIniFile, file)) return "";
  return std::string(file.bytes.begin(), file.bytes.end());
}
