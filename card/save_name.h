// Save file names follow a convention the slot view decodes: 'B', a region
// letter, the product code prefix, '-' or 'P' (PocketStation), five digits
// of the product number, then the game's own part.
#pragma once

#include <optional>
#include <string>

enum class Region { japan, america, europe };
enum class Licensing { sony_computer, sony_licensed };
enum class SaveType { game, demo, other };

// The letter after the 'B' of a name: 'I' Japan, 'A' America, 'E' Europe.
char region_letter(Region region);

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

// The game a save belongs to, as SD-card memory cards and emulators name a
// game's own card: the product code its name holds at characters 2..11,
// four letters, a hyphen (or the PocketStation's P, or nothing) and five
// digits, written "SLUS-00594". "BASLUS-00594GAME" and "BESLESP02083052002"
// hold SLUS-00594 and SLES-02083; "" when the name holds none.
std::string game_id_in_save_name(const std::string& name);

// A game ID as a person may type it or a disc spells it ("slus-00594",
// "SLUS00594", "SLUS_005.94") in the form above; "" for anything else.
std::string normalised_game_id(const std::string& text);
