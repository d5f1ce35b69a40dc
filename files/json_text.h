// Texts as the front ends hand them to scripts and pages: the card's
// single-byte texts in UTF-8, and JSON strings.
#pragma once

#include <string>

// File names, the information line and GME comments of old programs are
// single-byte texts; bytes above 0x7F are taken as Latin-1.
std::string latin1_to_utf8(const std::string& text);

// A GME comment: programs wrote them in their system's code page, newer
// ones in UTF-8. Well-formed UTF-8 is kept, anything else taken as Latin-1.
std::string comment_to_utf8(const std::string& text);

// A JSON string, quoted and escaped, of UTF-8 text.
std::string json_string(const std::string& utf8);
