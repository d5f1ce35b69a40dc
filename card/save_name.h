// Save file names follow a convention the slot view decodes: 'B', a region
// letter, the product code prefix, '-' or 'P' (PocketStation), five digits
// of the product number, then the game's own part.
#pragma once

#include <optional>
#include <string>

enum class Region { japan, america, europe };
enum class Licensing { sony_computer, sony_licensed };
enum class SaveType { game, demo, other };

// "BASLUS-01234SAVE" for America, Sony Licensed, Game, 1234, "SAVE". The
// file-name part is cut to 8 characters and the whole name to 20.
std::string compose_name(Region region, Licensing licensing, SaveType type, unsigned number,
                         const std::string& file_part, bool pocketstation);

// What the naming dialog chooses.
struct NameParts {
  Region region = Region::japan;
  Licensing licensing = Licensing::sony_computer;
  SaveType type = SaveType::game;
  unsigned number = 0;
  std::string file_part;
  bool pocketstation = false;
};

// The parts compose_name makes `name` from; nothing for a name it cannot
// make (a product code such as SCAJ, a file-name part over 8 characters).
std::optional<NameParts> name_parts(const std::string& name);
