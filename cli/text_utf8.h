// The card's texts as UTF-8, for terminals and JSON.
#pragma once

#include <string>

// A save's title: Shift-JIS (code page 932, as the window reads it); a byte
// that starts no character becomes U+FFFD.
std::string shift_jis_to_utf8(const std::string& shift_jis);

// File names and the information line are single-byte texts; bytes above
// 0x7F are taken as Latin-1.
std::string latin1_to_utf8(const std::string& text);

// A GME comment: programs wrote them in their system's code page, newer
// ones in UTF-8. Well-formed UTF-8 is kept, anything else taken as Latin-1.
std::string comment_to_utf8(const std::string& text);

// A text as a search compares it: ASCII letters in lower case, and the
// full-width forms Shift-JIS titles are written in ("ＦＩＮＡＬ", the
// ideographic space) as the ASCII they stand for, so that "final" finds
// the title the window shows as "ＦＩＮＡＬ　ＦＡＮＴＡＳＹ".
std::string folded_for_search(const std::string& utf8);
