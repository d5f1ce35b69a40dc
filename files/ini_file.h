// The small ini files SD-card memory cards keep beside their cards
// ("[Section]", then "key=value" lines), as their firmware reads them.
#pragma once

#include <string>
#include <utility>
#include <vector>

using IniEntries = std::vector<std::pair<std::string, std::string>>;

// The entries of one section, in order, keys and values trimmed of spaces;
// the section is found whatever its case. Lines that are no entry (a
// comment, a line without "=") are passed over.
IniEntries ini_section(const std::string& text, const std::string& section);

// The file's text, at most 64 KiB of it; "" when it cannot be read.
std::string read_ini_file(const std::string& path);
