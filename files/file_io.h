// Whole-file reading and writing for the card and save files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "card/failure.h"

// The first bytes of a file and its true length. Files are untrusted and
// may be huge; nothing past `limit` bytes is ever read.
struct FilePrefix {
  std::vector<uint8_t> bytes;  // min(length, limit) bytes, unless the read came short
  uint64_t length = 0;         // as measured before reading
  // False when fewer bytes arrived than the length promised: a read error,
  // or a file cut short while it was read.
  bool whole = true;
};

// "Cannot open file !" when it cannot be opened, "Not enough memory !
// (seriously ?)" when its bytes do not fit in memory.
Failure read_file_prefix(const std::string& path, size_t limit, FilePrefix& out);

// Writes into a temporary file beside `path`, flushes it to the disk and
// only then puts it in place of `path`, so a failure, or a power cut, leaves
// the old file or the new one whole: "Cannot create file !" or "Cannot write
// file !".
Failure write_file_replacing(const std::string& path, const uint8_t* bytes, size_t size);

// The extension of a path's file name in lower case, with its dot (".gme"),
// or "" when the name has none.
std::string lowercase_extension(const std::string& path);

// ASCII letters in lower case, every other byte as it is: names on file
// systems that ignore case (an SD card's FAT), and ini files' sections.
std::string ascii_lowercase(std::string text);
bool same_ignoring_case(const std::string& a, const std::string& b);

// Moves `from` over `to`, replacing it in one step. Defined per platform.
bool replace_file(const std::string& from, const std::string& to);
