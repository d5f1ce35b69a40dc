#include "card/save_name.h"

#include <cstdio>

#include "card/card_image.h"

namespace {

// Type letters at 0..2, second region letters at 3..5, licensing letters at
// 6..7, first region letters at 8..10.
const char kLetters[] = "SDMPUECLIAE";

// The index of `letter` among the `count` letters from kLetters[first].
int letter_index(char letter, int first, int count) {
  for (int i = 0; i < count; ++i)
    if (kLetters[first + i] == letter) return i;
  return -1;
}

}  // namespace

char region_letter(Region region) { return kLetters[8 + int(region)]; }

std::string compose_name(Region region, Licensing licensing, SaveType type, unsigned number,
                         const std::string& file_part, bool pocketstation) {
  char name[kSaveNameMax + 1] = {};
  std::snprintf(name, sizeof name, "B%cS%c%c%c%c%05u%.8s", region_letter(region),
                kLetters[6 + int(licensing)], kLetters[3 + int(region)], kLetters[int(type)],
                pocketstation ? 'P' : '-', number, file_part.c_str());
  return name;
}

std::optional<NameParts> name_parts(const std::string& name) {
  constexpr size_t kNumberAt = 7, kFilePartAt = 12;
  if (name.size() < kFilePartAt || name.size() > kSaveNameMax || name[0] != 'B' || name[2] != 'S' ||
      (name[6] != '-' && name[6] != 'P'))
    return std::nullopt;
  const int region = letter_index(name[1], 8, 3);
  const int licensing = letter_index(name[3], 6, 2);
  const int type = letter_index(name[5], 0, 3);
  if (region < 0 || licensing < 0 || type < 0) return std::nullopt;
  NameParts parts;
  for (size_t i = kNumberAt; i < kFilePartAt; ++i) {
    if (name[i] < '0' || name[i] > '9') return std::nullopt;
    parts.number = parts.number * 10 + unsigned(name[i] - '0');
  }
  parts.region = Region(region);
  parts.licensing = Licensing(licensing);
  parts.type = SaveType(type);
  parts.file_part = name.substr(kFilePartAt);
  parts.pocketstation = name[6] == 'P';
  // The second region letter must be the region's own, and nothing may be
  // lost to the cuts.
  if (compose_name(parts.region, parts.licensing, parts.type, parts.number, parts.file_part,
                   parts.pocketstation) != name)
    return std::nullopt;
  return parts;
}

namespace {

bool is_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
char upper(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }

// Four letters and five digits, the separator between them already taken away.
std::string game_id_of(const std::string& letters, const std::string& digits) {
  if (letters.size() != 4 || digits.size() != 5) return "";
  std::string id;
  for (char c : letters) {
    if (!is_letter(c)) return "";
    id += upper(c);
  }
  id += '-';
  for (char c : digits) {
    if (!is_digit(c)) return "";
    id += c;
  }
  return id;
}

}  // namespace

std::string game_id_in_save_name(const std::string& name) {
  constexpr size_t kCodeAt = 2, kSeparatorAt = 6;
  if (name.size() < kCodeAt + 9) return "";
  const std::string letters = name.substr(kCodeAt, 4);
  const char separator = name[kSeparatorAt];
  if (separator == '-' || separator == 'P') {
    if (name.size() < kSeparatorAt + 6) return "";
    return game_id_of(letters, name.substr(kSeparatorAt + 1, 5));
  }
  return game_id_of(letters, name.substr(kSeparatorAt, 5));
}

std::string normalised_game_id(const std::string& text) {
  std::string letters, digits;
  size_t at = 0;
  while (at < text.size() && is_letter(text[at]) && letters.size() < 5) letters += text[at++];
  if (at < text.size() && (text[at] == '-' || text[at] == '_')) ++at;
  for (; at < text.size(); ++at) {
    if (text[at] == '.') continue;  // SYSTEM.CNF's "SLUS_005.94"
    digits += text[at];
  }
  return game_id_of(letters, digits);
}
