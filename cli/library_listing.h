// "list FOLDER": the cards of a folder of per-game cards (an SD card, an
// emulator's card folder), as lines of text or one JSON document.
#pragma once

#include <string>
#include <vector>

#include "files/card_library.h"

// Keeps the saves whose name, game ID or title (as the window shows it)
// holds `text`, whatever the case (see folded_for_search), and the cards
// that hold one; the files that are no card go.
void keep_found(std::vector<LibraryCard>& cards, const std::string& text);

// A line per card, fields separated by tabs:
//   path, layout ("-" for none), "card NAME", "game ID[,ID]" or "-",
//   "channel N" or "-", the channel's name or "-", "n/15"
// then a line per save: a tab, then slot, "save", blocks, information
// line, file name, title (as "list CARD" shows a save); a file that is no
// card: path, "no card", why. Notes follow their card as a tab, "note",
// the note. The last line: "n cards, m saves" (and "k files are no card").
std::string library_lines(const std::vector<LibraryCard>& cards);
// {"cards": [{"path": ..., "layout": "sd2psx", "card": "Card1", "games": [...],
// "channel": 1, "channel_name": "Main", "format": "raw", "used": 3,
// "saves": [{"slot": 1, "blocks": 1, "name": ..., "game": ..., "info": ...,
// "title": ...}], "notes": [...]}, {"path": ..., "error": ...}]}
std::string library_json(const std::vector<LibraryCard>& cards);
