// "list": the fifteen slots as the window's analysis sees them, as lines of
// text or as one JSON document.
#pragma once

#include <string>

#include "card/analysis.h"
#include "card/card_image.h"

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
//   slot, "deleted", blocks, file name, title, "can be restored" or
//   "cannot be restored: <why>"
// and for a deleted further block no deleted first block reaches:
//   slot, "deleted block", "cannot be restored: <why>"
// then "n of m can be restored".
std::string deleted_lines(const CardImage& card);
// {"deleted": [{"slot": 4, "first": true, "slots": [4, 3], "name": ...,
// "title": ..., "restorable": true}, {"slot": 9, "first": false, "slots":
// [9], "restorable": false, "why": ...}]}
std::string deleted_json(const CardImage& card);

// The save's file name as the window shows it, in UTF-8.
std::string save_name(const CardImage& card, int slot);

// A text as one field of a line: control characters as U+FFFD.
std::string line_field(const std::string& utf8);
// A JSON string, quoted and escaped.
std::string json_string(const std::string& utf8);
