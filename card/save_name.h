// Save file names follow a convention the slot view decodes: 'B', a region
// letter, the product code prefix, '-' or 'P' (PocketStation), five digits
// of the product number, then the game's own part.
#pragma once

#include <string>

enum class Region { japan, america, europe };
enum class Licensing { sony_computer, sony_licensed };
enum class SaveType { game, demo, other };

// "BASLUS-01234SAVE" for America, Sony Licensed, Game, 1234, "SAVE". The
// file-name part is cut to 8 characters and the whole name to 20.
std::string compose_name(Region region, Licensing licensing, SaveType type, unsigned number,
                         const std::string& file_part, bool pocketstation);
