#include "cli/library_listing.h"

#include <algorithm>

#include "card/save_name.h"
#include "card/slot_text.h"
#include "cli/listing.h"
#include "cli/text_utf8.h"

namespace {

std::string info_of(const LibrarySave& save) {
  uint8_t directory[kFrameSize] = {};
  std::copy_n(save.name.begin(), std::min(save.name.size(), kSaveNameMax), directory + kDirName);
  return latin1_to_utf8(info_line(directory, save.blocks));
}

bool holds(const std::string& text, const std::string& folded_needle) {
  return folded_for_search(text).find(folded_needle) != std::string::npos;
}

bool found(const LibrarySave& save, const std::string& folded_needle, const std::string& game_id) {
  if (!game_id.empty() && save.game_id == game_id) return true;
  return holds(latin1_to_utf8(save.name), folded_needle) || holds(save.game_id, folded_needle) ||
         holds(shift_jis_to_utf8(save.title), folded_needle);
}

std::string joined(const std::vector<std::string>& items, const char* separator) {
  std::string text;
  for (size_t i = 0; i < items.size(); ++i) text += (i ? separator : "") + items[i];
  return text;
}

std::string or_dash(const std::string& text) { return text.empty() ? "-" : text; }

}  // namespace

void keep_found(std::vector<LibraryCard>& cards, const std::string& text) {
  const std::string needle = folded_for_search(text);
  // "slus00594" finds SLUS-00594 too.
  const std::string game_id = normalised_game_id(text);
  std::vector<LibraryCard> kept;
  for (LibraryCard& card : cards) {
    if (!card.failure.empty()) continue;
    auto& saves = card.saves;
    saves.erase(std::remove_if(saves.begin(), saves.end(),
                               [&](const LibrarySave& save) { return !found(save, needle, game_id); }),
                saves.end());
    if (!saves.empty()) kept.push_back(std::move(card));
  }
  cards = std::move(kept);
}

std::string library_lines(const std::vector<LibraryCard>& cards) {
  std::string out;
  int saves = 0, no_cards = 0;
  for (const LibraryCard& card : cards) {
    const std::string path = line_field(latin1_to_utf8(card.path));
    if (!card.failure.empty()) {
      out += path + "\tno card\t" + line_field(card.failure) + "\n";
      ++no_cards;
      continue;
    }
    const CardPlace& place = card.place;
    out += path + "\t" + or_dash(card_layout_name(place.layout)) + "\t" +
           (place.card_name.empty() ? "-" : "card " + line_field(latin1_to_utf8(place.card_name))) + "\t" +
           (card.game_ids.empty() ? "-" : "game " + joined(card.game_ids, ",")) + "\t" +
           (place.channel ? "channel " + std::to_string(place.channel) : "-") + "\t" +
           or_dash(line_field(latin1_to_utf8(card.channel_name))) + "\t" + std::to_string(card.used) + "/15\n";
    for (const LibrarySave& save : card.saves) {
      out += "\t" + std::to_string(save.slot + 1) + "\tsave\t" + std::to_string(save.blocks) + "\t" +
             line_field(info_of(save)) + "\t" + line_field(latin1_to_utf8(save.name)) + "\t" +
             line_field(shift_jis_to_utf8(save.title)) + "\n";
      ++saves;
    }
    for (const std::string& note : card.notes) out += "\tnote\t" + line_field(latin1_to_utf8(note)) + "\n";
  }
  const int listed = int(cards.size()) - no_cards;
  out += std::to_string(listed) + (listed == 1 ? " card, " : " cards, ") + std::to_string(saves) +
         (saves == 1 ? " save" : " saves");
  if (no_cards) out += ", " + std::to_string(no_cards) + (no_cards == 1 ? " file is no card" : " files are no card");
  return out + "\n";
}

std::string library_json(const std::vector<LibraryCard>& cards) {
  std::string out = "{\"cards\": [";
  for (size_t i = 0; i < cards.size(); ++i) {
    const LibraryCard& card = cards[i];
    out += std::string(i ? ",\n" : "\n") + "  {\"path\": " + json_string(latin1_to_utf8(card.path));
    if (!card.failure.empty()) {
      out += ", \"error\": " + json_string(card.failure) + "}";
      continue;
    }
    const CardPlace& place = card.place;
    out += ", \"layout\": " + (place.layout == CardLayout::none ? "null" : json_string(card_layout_name(place.layout)));
    out += ", \"card\": " + (place.card_name.empty() ? "null" : json_string(latin1_to_utf8(place.card_name)));
    out += ", \"games\": [";
    for (size_t g = 0; g < card.game_ids.size(); ++g) out += (g ? ", " : "") + json_string(card.game_ids[g]);
    out += "], \"channel\": " + (place.channel ? std::to_string(place.channel) : "null");
    out += ", \"channel_name\": " + (card.channel_name.empty() ? "null" : json_string(latin1_to_utf8(card.channel_name)));
    out += ", \"format\": " + json_string(card_format_name(card.format));
    out += ", \"used\": " + std::to_string(card.used) + ", \"saves\": [";
    for (size_t s = 0; s < card.saves.size(); ++s) {
      const LibrarySave& save = card.saves[s];
      out += std::string(s ? ", " : "") + "{\"slot\": " + std::to_string(save.slot + 1) +
             ", \"blocks\": " + std::to_string(save.blocks) + ", \"name\": " + json_string(latin1_to_utf8(save.name)) +
             ", \"game\": " + (save.game_id.empty() ? "null" : json_string(save.game_id)) +
             ", \"info\": " + json_string(info_of(save)) + ", \"title\": " + json_string(shift_jis_to_utf8(save.title)) +
             "}";
    }
    out += "], \"notes\": [";
    for (size_t n = 0; n < card.notes.size(); ++n) out += (n ? ", " : "") + json_string(latin1_to_utf8(card.notes[n]));
    out += "]}";
  }
  return out + (cards.empty() ? "]}\n" : "\n]}\n");
}
