// Folders that keep a memory card per game: the SD card of a MemCard PRO
// (or PRO 2), that of an sd2psx or a board running its sd2psXtd firmware
// (PSxMemCard Gen2, PicoMemcard+, PicoMemcard Zero), and DuckStation's
// memcards folder. Each names a card's file after the card and its channel:
//   MemCard PRO   MemoryCards/<NAME>/<NAME>-<N>.mcd          N 1..8
//   sd2psXtd      MemoryCards/PS1/<NAME>/<NAME>-<N>.mcd      N 1..8
//   DuckStation   memcards/<NAME>_<N>.mcd                    N 1..2, the card slot
// A game's card is named by its game ID ("SLUS-00594"), as the console
// reads it from the disc; other cards are numbered ("MemoryCard2",
// "Card1") or, on DuckStation, named by the game's title or "shared_card".
// sd2psXtd lets games share a card folder (.sd2psx/Game2Folder.ini) and
// name a card's channels (<NAME>/<NAME>.ini, [ChannelName]).
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "card/card_image.h"
#include "card/failure.h"
#include "files/card_formats.h"

enum class CardLayout { none, memcardpro, sd2psx, duckstation };

constexpr int kMostChannels = 8;
// DuckStation keeps one card per game for each of the console's two slots.
constexpr int kDuckStationChannels = 2;
// The card of the saves whose name holds no game ID.
inline const char kOtherGamesCard[] = "Other";

// "memcardpro", "sd2psx", "duckstation" ("" for none), as --layout takes them.
const char* card_layout_name(CardLayout layout);
// "MemCard PRO", "sd2psx", "DuckStation", for messages.
const char* card_layout_text(CardLayout layout);
std::optional<CardLayout> card_layout_named(const std::string& name);
int channels_of(CardLayout layout);

// What a card file's path tells of the card.
struct CardPlace {
  CardLayout layout = CardLayout::none;
  std::string card_name;  // "SLUS-00594", "MemoryCard2", "Vagrant Story (USA)"
  std::string game_id;    // the card name when it is a game ID, else ""
  int channel = 0;        // 1..8; 0 when the name tells none
};
CardPlace card_place(const std::string& path);

// Where a layout keeps its cards for the folder a user names: the SD card
// or DuckStation's user folder, or the card folder itself (MemoryCards,
// MemoryCards/PS1, memcards). Folders that exist already in another case
// (an SD card's FAT knows no case) are taken as they are.
struct LayoutFolders {
  std::string cards;               // MemoryCards, MemoryCards/PS1 or memcards
  std::string game_to_folder_ini;  // sd2psx: .sd2psx/Game2Folder.ini; else ""
};
LayoutFolders layout_folders(CardLayout layout, const std::string& folder);

// The folder a card's channels are kept in under the layout's card folder
// (DuckStation keeps them all in the card folder itself).
std::string game_card_folder(CardLayout layout, const std::string& cards_folder, const std::string& card_name);
// The file of a card's channel in that folder.
std::string game_card_path(CardLayout layout, const std::string& card_folder, const std::string& card_name,
                           int channel);

// The folder a path is in ("." for a bare name).
std::string parent_folder(const std::string& path);

// Another file in the folder of `path` whose name differs from its name only
// in case: on the SD card's FAT both are one file, and the device would take
// either for the card. The message names it; "" when there is none.
std::string rival_claim(const std::string& path);

// sd2psXtd's Game2Folder.ini: the card folder of each game ID its [PS1]
// section names, IDs in the form normalised_game_id gives.
std::map<std::string, std::string> read_game_to_folder(const std::string& ini_path);

// A save as a library lists it.
struct LibrarySave {
  int slot = 0;  // its first block, 0..14
  int blocks = 0;
  std::string name;
  std::string title;  // Shift-JIS bytes, up to the first zero
  std::string game_id;
};

// A file found in a library: a card, or a file of a card's name that is no
// card, with the reason.
struct LibraryCard {
  std::string path;
  CardPlace place;
  // The games that use the card: its own game ID, and on an sd2psx those
  // Game2Folder.ini sends to its folder.
  std::vector<std::string> game_ids;
  std::string channel_name;  // sd2psXtd: from the card folder's ini file
  CardFormat format = CardFormat::raw;
  int used = 0;
  std::vector<LibrarySave> saves;
  std::string failure;  // why the file is no card; "" for a card
  // What the user should know: another file claiming the same card and
  // channel, the file's own notice (a GME cut short).
  std::vector<std::string> notes;
  std::shared_ptr<const CardImage> card;  // kept when asked for
};

// The card files a library holds. A folder is walked with every folder in
// it, taking the files whose extension is a card file's (.mcd, .mcr, .mc,
// .gme, .vmp, .mem, .vgs, .srm, ...), in order of their paths; a file is
// taken whatever its name. Fails only when `root` is neither.
Failure scan_library(const std::string& root, bool keep_cards, std::vector<LibraryCard>& cards);
