// The card's texts as UTF-8, for terminals and JSON.
#pragma once

#include <string>

#include "files/json_text.h"  // latin1_to_utf8, comment_to_utf8

// A save's title: Shift-JIS (code page 932, as the window reads it); a byte
// that starts no character becomes U+FFFD.
std::string shift_jis_to_utf8(const std::string& shift_jis);


// A text as a search compares it: ASCII letters in lower case, and the
// full-width forms Shift-JIS titles are written in ("ＦＩＮＡＬ", the
// ideographic space) as the ASCII they stand for, so that "final" finds
// the title the window shows as "ＦＩＮＡＬ　ＦＡＮＴＡＳＹ".
std::string folded_for_search(const std::string& utf8);
