// What the verbs on card files share: a card file of any format opened as
// the window opens it, written back in the format it asks for, and the
// texts that name slots and saves.
#pragma once

#include <optional>
#include <string>

#include "card/analysis.h"
#include "card/card_image.h"
#include "card/failure.h"
#include "card/slot_text.h"
#include "cli/arguments.h"
#include "files/card_formats.h"

// The window holds one card, its table and what its file held; so does each
// command.
struct OpenCard {
  CardImage card;
  SlotTable slots;
  CardFileInfo file;
};

// Slot numbers count from 1 on the command line; nothing for anything but
// 1..15.
std::optional<int> parse_slot(const std::string& text);

// Reads a card file of any format as it is, without analysing it; what the
// user should know about the file (a cut GME, a wrong VMP signature) goes to
// stderr, the command going on.
Failure read_card_file_telling(const std::string& path, CardImage& card, CardFileInfo& file);
// The same, then analysed as the window opens a card, see analyse_open_card.
Failure open_card_file(const std::string& path, bool allow_corrupted, OpenCard& open,
                       bool takes_allow_corrupted = false);
// The analysis of a card read from `path`. A card whose header checksum is
// wrong is refused, as the window refuses it, saying so and which option
// opens it; with allow_corrupted it is analysed all the same, with a
// warning, and open.card keeps every byte as read. `takes_allow_corrupted`
// tells whether the command has the option.
Failure analyse_open_card(const std::string& path, bool allow_corrupted, OpenCard& open,
                          bool takes_allow_corrupted);

// The format a card written to `out` gets: --format when given, the file's
// own when a card file is changed in place, else the one out's extension
// names. Nothing when --format names no card format.
std::optional<CardFormat> output_card_format(const Arguments& arguments, const std::string& out,
                                             const std::string& in_place, const CardFileInfo& file);
// "raw", "GME", "VGS", "VMP", "magazine", for the messages.
const char* card_format_text(CardFormat format);

// Writes a changed card to --output, or over `card_path`, in the format
// output_card_format gives; `out` receives the path written.
Failure write_changed_card(const Arguments& arguments, const std::string& card_path, OpenCard& open,
                           std::string& out);

// Says once, on stderr, that the GME comments of `file` are lost when the
// card is written in `format`.
void warn_if_comments_lost(const CardImage& card, const CardFileInfo& file, CardFormat format);

inline const char kCardFormats[] = "--format takes raw, gme, vgs or vmp";
