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

std::string compose_name(Region region, Licensing licensing, SaveType type, unsigned number,
                         const std::string& file_part, bool pocketstation) {
  char name[kSaveNameMax + 1] = {};
  std::snprintf(name, sizeof name, "B%cS%c%c%c%c%05u%.8s", kLetters[8 + int(region)],
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
