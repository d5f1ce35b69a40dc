// Whole-card image files on disk, in any of the formats of card_formats.h.
#pragma once

#include <string>

#include "card/card_image.h"
#include "card/failure.h"
#include "files/card_formats.h"
#include "files/file_io.h"

// Replaces the card with the file's image only when the file is a card image
// whose bytes all arrived; otherwise the card is left exactly as it was.
// `opened` tells whether the file could be opened at all; `info` receives
// the format, the GME comments and what the user should be told.
Failure read_card_file(const std::string& path, CardImage& card, bool& opened, CardFileInfo& info);
Failure read_card_file(const std::string& path, CardImage& card, bool& opened);
// The same for a file already read.
Failure take_card_image(const FilePrefix& file, CardImage& card);

// Writes the card in info.format (raw when no info is given), replacing the
// file only once every byte is written.
Failure write_card_file(const std::string& path, const CardImage& card, const CardFileInfo& info);
Failure write_card_file(const std::string& path, const CardImage& card);
