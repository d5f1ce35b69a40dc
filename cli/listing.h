// "list": the fifteen slots as the window's analysis sees them, as lines of
// text or as one JSON document.
#pragma once

#include <string>

#include "card/analysis.h"
#include "card/card_image.h"
#include "files/json_text.h"  // json_string
#include "files/save_file.h"

// One line per slot, fields separated by tabs:
//   save: slot, "save", blocks, information line, file name, title
//   more: slot, "more", "of N" (N: the slot of the save's first block)
//   free, corrupted: slot, state
// then "n/15". Slots count from 1, as in the other commands. Control
// characters in the card's texts show as U+FFFD, so that every line holds
// its fields.
std::string slot_lines(const CardImage& card, const SlotTable& slots);

// What a card file adds to the listing: its format, and the comments a GME
// file keeps beside its saves (as the file holds them).
struct ListedFile {
  std::string format;
  std::string comments[kSlotCount];
};

// {"used": n, "slots": [{"slot": 1, "state": "save", "blocks": 1,
// "name": ..., "info": ..., "title": ...}, {"slot": 3, "state": "more",
// "first": 2}, {"slot": 4, "state": "free"}, ...]}
// For a card file, "format" follows "used", and a save with a comment has
// "comment" after its title.
std::string slot_json(const CardImage& card, const SlotTable& slots, const ListedFile* file = nullptr);

// "list --deleted": one line per deleted save, fields separated by tabs:
//   slot, "deleted", blocks, file name, title, "can be restored" (", its
//   cleared links rebuilt" when they were cleared) or "cannot be restored:
//   <why>"
// and for a deleted further block no deleted first block reaches:
//   slot, "deleted block", "cannot be restored: <why>"
// then "n of m can be restored".
std::string deleted_lines(const CardImage& card);
// {"deleted": [{"slot": 4, "first": true, "slots": [4, 3], "name": ...,
// "title": ..., "restorable": true}, a save whose links are rebuilt with
// "links_rebuilt": true, {"slot": 9, "first": false, "slots":
// [9], "restorable": false, "why": ...}]}
std::string deleted_json(const CardImage& card);

// "list" of a single-save file: one line per field, name and value split
// by a tab: format, name (with "(from the file name)" after a tab when the
// name is the file's; "(none: import asks for --name)" when there is
// none), title, blocks, region, info, and for a PSV signature ("valid", or
// "wrong: ...").
std::string save_file_lines(const SaveFileSummary& summary);
// {"format": "psv", "name": ..., "name_from_file_name": false, "title":
// ..., "blocks": 2, "region": ..., "info": ..., "signature": "valid"}, the
// signature for a PSV only.
std::string save_file_json(const SaveFileSummary& summary);

// The save's file name as the window shows it, in UTF-8.
std::string save_name(const CardImage& card, int slot);

// A text as one field of a line: control characters as U+FFFD.
std::string line_field(const std::string& utf8);

