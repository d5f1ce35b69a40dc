#include "files/card_library.h"

#include <algorithm>
#include <memory>

#include "card/analysis.h"
#include "card/save_name.h"
#include "card/slot_text.h"
#include "files/card_file.h"
#include "files/file_io.h"
#include "files/folders.h"
#include "files/ini_file.h"

namespace {

const char kMemoryCards[] = "MemoryCards";
const char kPs1[] = "PS1";
const char kMemcards[] = "memcards";
const char kSd2psxFolder[] = ".sd2psx";
const char kGameToFolderIni[] = "Game2Folder.ini";
const char kCardExtension[] = ".mcd";
// A folder deeper than this is not walked: a link back up would never end.
constexpr int kDeepestFolder = 12;

const char* const kCardFileExtensions[] = {".mcd", ".mcr", ".mc",  ".gme", ".vmp", ".mem", ".vgs",
                                           ".srm", ".ddf", ".psm", ".mci", ".vm1", ".ps"};

bool is_separator(char c) { return c == '/' || c == '\\'; }

// The parts of a path, as either system writes them.
std::vector<std::string> path_parts(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : path) {
    if (is_separator(c)) {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

std::string without_trailing_separators(std::string path) {
  while (path.size() > 1 && is_separator(path.back())) path.pop_back();
  return path;
}

std::string last_part(const std::string& path) {
  const std::vector<std::string> parts = path_parts(path);
  return parts.empty() ? "" : parts.back();
}

// The entry of `folder` called `name` in any case when there is one (an SD
// card's FAT keeps the case it was given, and ignores it), else `name`.
std::string child_named(const std::string& folder, const std::string& name) {
  for (const std::string& existing : folders_in(folder))
    if (same_ignoring_case(existing, name)) return path_in(folder, existing);
  return path_in(folder, name);
}

// "NAME-3" and "NAME_3": the name and the channel, 1..8.
bool split_channel(const std::string& stem, char separator, std::string& name, int& channel) {
  if (stem.size() < 3 || stem[stem.size() - 2] != separator) return false;
  const char digit = stem.back();
  if (digit < '1' || digit > '0' + kMostChannels) return false;
  name = stem.substr(0, stem.size() - 2);
  channel = digit - '0';
  return true;
}

// "MemoryCard2", "Card1": the devices' numbered cards.
bool numbered(const std::string& name, const std::string& prefix) {
  return name.size() > prefix.size() && same_ignoring_case(name.substr(0, prefix.size()), prefix) &&
         name.find_first_not_of("0123456789", prefix.size()) == std::string::npos;
}

bool is_card_file_name(const std::string& name) {
  const std::string extension = lowercase_extension(name);
  for (const char* card : kCardFileExtensions)
    if (extension == card) return true;
  return false;
}

void walk(const std::string& folder, int depth, std::vector<std::string>& paths) {
  std::vector<std::string> files = files_in(folder);
  std::sort(files.begin(), files.end());
  for (const std::string& file : files)
    if (is_card_file_name(file)) paths.push_back(path_in(folder, file));
  if (depth >= kDeepestFolder) return;
  std::vector<std::string> folders = folders_in(folder);
  std::sort(folders.begin(), folders.end());
  for (const std::string& inner : folders) walk(path_in(folder, inner), depth + 1, paths);
}

// The folder an sd2psx card's SD card begins in: above MemoryCards/PS1/NAME.
std::string sd_card_of(const std::string& card_path) {
  return parent_folder(parent_folder(parent_folder(parent_folder(card_path))));
}

std::string channel_name_of(const std::string& card_path, const CardPlace& place) {
  const std::string ini = path_in(parent_folder(card_path), place.card_name + ".ini");
  for (const auto& [key, value] : ini_section(read_ini_file(ini), "ChannelName"))
    if (key == std::to_string(place.channel)) return value;
  return "";
}

void read_card(const std::string& path, bool keep_card, LibraryCard& entry) {
  auto card = std::make_shared<CardImage>();
  CardFileInfo file;
  bool opened = false;
  if (Failure failure = read_card_file(path, *card, opened, file)) {
    entry.failure = failure->text;
    return;
  }
  entry.format = file.format;
  if (!file.notice.empty()) entry.notes.push_back(file.notice);
  auto slots = std::make_unique<SlotTable>();
  if (Failure failure = analyse_card_copy(*card, *slots, false)) {
    entry.failure = failure->text;
    if (header_checksum_wrong(*card)) entry.failure += " (its header checksum is wrong)";
    return;
  }
  entry.used = slots->used;
  for (int slot = 0; slot < kSlotCount; ++slot) {
    if (slots->status[slot] <= 0) continue;
    LibrarySave save;
    save.slot = slot;
    save.blocks = slots->status[slot];
    save.name = DirectoryFrame{directory_frame(*card, slot)}.name();
    save.title = title_bytes(*card, slot);
    save.game_id = game_id_in_save_name(save.name);
    entry.saves.push_back(save);
  }
  if (keep_card) entry.card = card;
}

// Two files that the device would both take for one card's channel (on
// FAT, names that differ only in case are one name).
void note_rival_claims(std::vector<LibraryCard>& cards) {
  std::map<std::string, std::vector<size_t>> claims;
  for (size_t i = 0; i < cards.size(); ++i) {
    const CardPlace& place = cards[i].place;
    if (place.layout == CardLayout::none) continue;
    claims[ascii_lowercase(parent_folder(cards[i].path)) + "\n" + ascii_lowercase(place.card_name) + "\n" +
           std::to_string(place.channel)]
        .push_back(i);
  }
  for (const auto& [claim, claimants] : claims) {
    if (claimants.size() < 2) continue;
    for (size_t i : claimants)
      for (size_t other : claimants)
        if (other != i)
          cards[i].notes.push_back("another file claims the same card and channel: " + cards[other].path);
  }
}

}  // namespace

const char* card_layout_name(CardLayout layout) {
  switch (layout) {
    case CardLayout::none: return "";
    case CardLayout::memcardpro: return "memcardpro";
    case CardLayout::sd2psx: return "sd2psx";
    case CardLayout::duckstation: return "duckstation";
  }
  return "";
}

const char* card_layout_text(CardLayout layout) {
  switch (layout) {
    case CardLayout::none: return "no layout";
    case CardLayout::memcardpro: return "MemCard PRO";
    case CardLayout::sd2psx: return "sd2psx";
    case CardLayout::duckstation: return "DuckStation";
  }
  return "";
}

std::optional<CardLayout> card_layout_named(const std::string& name) {
  for (CardLayout layout : {CardLayout::memcardpro, CardLayout::sd2psx, CardLayout::duckstation})
    if (name == card_layout_name(layout)) return layout;
  return std::nullopt;
}

int channels_of(CardLayout layout) {
  return layout == CardLayout::duckstation ? kDuckStationChannels : kMostChannels;
}

CardPlace card_place(const std::string& path) {
  CardPlace place;
  const std::vector<std::string> parts = path_parts(path);
  if (parts.empty()) return place;
  const std::string& file = parts.back();
  const size_t dot = file.find_last_of('.');
  const std::string stem = dot == std::string::npos ? file : file.substr(0, dot);
  const std::string folder = parts.size() >= 2 ? parts[parts.size() - 2] : "";
  const std::string above = parts.size() >= 3 ? parts[parts.size() - 3] : "";
  const std::string further = parts.size() >= 4 ? parts[parts.size() - 4] : "";
  std::string name;
  int channel = 0;
  if (split_channel(stem, '-', name, channel)) {
    if (same_ignoring_case(name, folder) && same_ignoring_case(above, kPs1) &&
        same_ignoring_case(further, kMemoryCards))
      place.layout = CardLayout::sd2psx;
    else if (same_ignoring_case(name, folder) && same_ignoring_case(above, kMemoryCards))
      place.layout = CardLayout::memcardpro;
    // Out of its folders, a card is known by the names the devices give.
    else if (numbered(name, "MemoryCard") || !normalised_game_id(name).empty())
      place.layout = CardLayout::memcardpro;
    else if (numbered(name, "Card"))
      place.layout = CardLayout::sd2psx;
  }
  if (place.layout == CardLayout::none && split_channel(stem, '_', name, channel) &&
      channel <= kDuckStationChannels &&
      (same_ignoring_case(folder, kMemcards) || lowercase_extension(file) == kCardExtension))
    place.layout = CardLayout::duckstation;
  if (place.layout == CardLayout::none) return place;
  place.card_name = name;
  place.channel = channel;
  place.game_id = normalised_game_id(name);
  return place;
}

LayoutFolders layout_folders(CardLayout layout, const std::string& folder) {
  const std::string given = without_trailing_separators(folder);
  const std::string last = last_part(given);
  LayoutFolders folders;
  switch (layout) {
    case CardLayout::none: folders.cards = given; break;
    case CardLayout::memcardpro:
      folders.cards = same_ignoring_case(last, kMemoryCards) ? given : child_named(given, kMemoryCards);
      break;
    case CardLayout::sd2psx: {
      std::string sd_card = given;
      if (same_ignoring_case(last, kPs1) && same_ignoring_case(last_part(parent_folder(given)), kMemoryCards)) {
        folders.cards = given;
        sd_card = parent_folder(parent_folder(given));
      } else if (same_ignoring_case(last, kMemoryCards)) {
        folders.cards = child_named(given, kPs1);
        sd_card = parent_folder(given);
      } else {
        folders.cards = child_named(child_named(given, kMemoryCards), kPs1);
      }
      folders.game_to_folder_ini = path_in(child_named(sd_card, kSd2psxFolder), kGameToFolderIni);
      break;
    }
    case CardLayout::duckstation:
      folders.cards = same_ignoring_case(last, kMemcards) ? given : child_named(given, kMemcards);
      break;
  }
  return folders;
}

std::string game_card_folder(CardLayout layout, const std::string& cards_folder, const std::string& card_name) {
  return layout == CardLayout::duckstation ? cards_folder : child_named(cards_folder, card_name);
}

std::string game_card_path(CardLayout layout, const std::string& card_folder, const std::string& card_name,
                           int channel) {
  const std::string number = std::to_string(channel);
  return path_in(card_folder, card_name + (layout == CardLayout::duckstation ? "_" : "-") + number + kCardExtension);
}

std::map<std::string, std::string> read_game_to_folder(const std::string& ini_path) {
  std::map<std::string, std::string> folders;
  for (const auto& [key, value] : ini_section(read_ini_file(ini_path), kPs1)) {
    const std::string id = normalised_game_id(key);
    if (!id.empty() && !value.empty()) folders[id] = value;
  }
  return folders;
}

std::string parent_folder(const std::string& path) {
  const std::string trimmed = without_trailing_separators(path);
  const size_t separator = trimmed.find_last_of("/\\");
  if (separator == std::string::npos) return ".";
  if (separator == 0) return trimmed.substr(0, 1);
  return trimmed.substr(0, separator);
}

std::string rival_claim(const std::string& path) {
  const std::string name = last_part(path);
  const std::string folder = parent_folder(path);
  for (const std::string& other : files_in(folder))
    if (other != name && same_ignoring_case(other, name))
      return path + ": another file claims the same card and channel, " + path_in(folder, other) +
             "; its game's saves are not added until one of the two is moved away.";
  return "";
}

Failure scan_library(const std::string& root, bool keep_cards, std::vector<LibraryCard>& cards) {
  cards.clear();
  std::vector<std::string> paths;
  const PathKind kind = path_kind(root);
  if (kind == PathKind::file) {
    paths.push_back(root);
  } else if (kind == PathKind::folder) {
    walk(without_trailing_separators(root), 0, paths);
  } else {
    return fail(kind == PathKind::missing ? "No such file or folder." : "This is neither a file nor a folder.",
                "File Error");
  }
  std::map<std::string, std::map<std::string, std::string>> game_to_folder;  // by SD card
  for (const std::string& path : paths) {
    LibraryCard entry;
    entry.path = path;
    entry.place = card_place(path);
    if (!entry.place.game_id.empty()) entry.game_ids.push_back(entry.place.game_id);
    if (entry.place.layout == CardLayout::sd2psx) {
      entry.channel_name = channel_name_of(path, entry.place);
      const std::string sd_card = sd_card_of(path);
      if (!game_to_folder.count(sd_card))
        game_to_folder[sd_card] =
            read_game_to_folder(path_in(child_named(sd_card, kSd2psxFolder), kGameToFolderIni));
      for (const auto& [id, folder] : game_to_folder[sd_card])
        if (same_ignoring_case(folder, entry.place.card_name) &&
            std::find(entry.game_ids.begin(), entry.game_ids.end(), id) == entry.game_ids.end())
          entry.game_ids.push_back(id);
    }
    const CardPlace& place = entry.place;
    const bool device = place.layout == CardLayout::memcardpro || place.layout == CardLayout::sd2psx;
    if (device && entry.game_ids.empty() && !numbered(place.card_name, "MemoryCard") &&
        !numbered(place.card_name, "Card"))
      entry.notes.push_back("the card's name, " + place.card_name +
                            ", is no game ID: the device loads it only when it is chosen by name");
    read_card(path, keep_cards, entry);
    cards.push_back(std::move(entry));
  }
  note_rival_claims(cards);
  return std::nullopt;
}
