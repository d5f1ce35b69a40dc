#include "card/save_name.h"

#include <cstdio>

#include "card/card_image.h"

namespace {

// Type letters at 0..2, second region letters at 3..5, licensing letters at
// 6..7, first region letters at 8..10.
const char kLetters[] = "SDMPUECLIAE";

}  // namespace

std::string compose_name(Region region, Licensing licensing, SaveType type, unsigned number,
                         const std::string& file_part, bool pocketstation) {
  char name[kSaveNameMax + 1] = {};
  std::snprintf(name, sizeof name, "B%cS%c%c%c%c%05u%.8s", kLetters[8 + int(region)],
                kLetters[6 + int(licensing)], kLetters[3 + int(region)], kLetters[int(type)],
                pocketstation ? 'P' : '-', number, file_part.c_str());
  return name;
}
