// Whole-card image files: raw (131072 bytes) and GME (a 3904-byte header,
// then the image). A file is GME by its length alone.
#pragma once

#include <string>

#include "card/card_image.h"
#include "card/failure.h"
#include "files/file_io.h"

constexpr size_t kGmeHeaderSize = 3904;
constexpr size_t kGmeFileSize = kGmeHeaderSize + kCardSize;  // 134976

// Replaces the card with the file's image only when a whole image arrived;
// otherwise the card is left exactly as it was ("Wrong file size !").
// `opened` tells whether the file could be opened at all.
Failure read_card_file(const std::string& path, CardImage& card, bool& opened);
// The same for a file already read: GME by its measured length, and only a
// read that delivered every byte counts.
Failure take_card_image(const FilePrefix& file, CardImage& card);

Failure write_card_file(const std::string& path, const CardImage& card);
