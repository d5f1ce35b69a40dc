#include "files/game_card_split.h"

#include <algorithm>
#include <map>

#include "card/editing.h"
#include "card/save_name.h"
#include "card/slot_text.h"
#include "files/backups.h"
#include "files/card_file.h"
#include "files/folders.h"
#include "files/save_copy.h"
#include "files/save_file.h"

namespace {

// The game card a save goes to: sd2psx's shared folder for the game, the
// game's ID, or the card of the saves without one.
std::string card_name_for(const std::string& game_id, const std::map<std::string, std::string>& game_to_folder) {
  if (game_id.empty()) return kOtherGamesCard;
  const auto shared = game_to_folder.find(game_id);
  return shared == game_to_folder.end() ? game_id : shared->second;
}

class Planner {
 public:
  explicit Planner(SplitPlan& plan) : plan_(plan) {}

  // The plan's card at `path`, read the first time it is asked for.
  SplitCard& card_at(const std::string& path) {
    const auto known = index_.find(path);
    if (known != index_.end()) return plan_.cards[known->second];
    index_[path] = plan_.cards.size();
    plan_.cards.push_back(open_game_card(path));
    return plan_.cards.back();
  }

  bool exists(const std::string& path) { return index_.count(path) || path_kind(path) != PathKind::missing; }

  void place(SplitEntry& entry, const SaveImport& save) {
    const int channels = channels_of(plan_.layout);
    std::vector<std::string> paths;
    const std::string folder = card_folder(entry.card_name);
    for (int channel = 1; channel <= channels; ++channel)
      paths.push_back(game_card_path(plan_.layout, folder, entry.card_name, channel));
    // A copy on any channel is the save already split, whichever channel
    // first had room for it.
    for (int channel = 1; channel <= channels; ++channel) {
      if (!exists(paths[channel - 1])) continue;
      const SplitCard& card = card_at(paths[channel - 1]);
      if (!card.failure.empty()) break;
      if (slot_holding(*card.card, *card.slots, save) >= 0) {
        set_place(entry, paths[channel - 1], channel, SplitOutcome::already_there);
        return;
      }
    }
    std::string passed;
    for (int channel = 1; channel <= channels; ++channel) {
      SplitCard& card = card_at(paths[channel - 1]);
      if (!card.failure.empty()) {
        set_place(entry, paths[channel - 1], channel, SplitOutcome::refused);
        entry.why = card.failure;
        return;
      }
      const std::string name = entry.name;
      if (slot_named(*card.card, *card.slots, name) >= 0) {
        passed += "channel " + std::to_string(channel) + " holds another save of this name; ";
        continue;
      }
      if (import_save(*card.card, card.slots->used, save)) {
        passed += "channel " + std::to_string(channel) + " is full; ";
        continue;
      }
      ++card.added;
      analyse_card_copy(*card.card, *card.slots, false);
      set_place(entry, paths[channel - 1], channel, SplitOutcome::added);
      if (channel > 1) entry.why = passed.substr(0, passed.size() - 2);
      return;
    }
    entry.outcome = SplitOutcome::did_not_fit;
    entry.why = passed.substr(0, passed.size() - 2);
  }

 private:
  // Looked up once a game: the card folder may hold a folder per game.
  const std::string& card_folder(const std::string& card_name) {
    auto known = folders_.find(card_name);
    if (known == folders_.end())
      known = folders_.emplace(card_name, game_card_folder(plan_.layout, plan_.folders.cards, card_name)).first;
    return known->second;
  }

  static void set_place(SplitEntry& entry, const std::string& path, int channel, SplitOutcome outcome) {
    entry.path = path;
    entry.channel = channel;
    entry.outcome = outcome;
  }

  SplitCard open_game_card(const std::string& path) {
    SplitCard card;
    card.path = path;
    card.card = std::make_unique<CardImage>();
    card.slots = std::make_unique<SlotTable>();
    const PathKind kind = path_kind(path);
    card.existed = kind != PathKind::missing;
    if (kind == PathKind::missing) {
      format_card(*card.card);
      analyse_card_copy(*card.card, *card.slots, false);
      card.failure = rival_claim(path);
      return card;
    }
    if (kind != PathKind::file) {
      card.failure = path + ": this is no card file, but a folder or a device.";
      return card;
    }
    bool opened = false;
    Failure failure = read_card_file(path, *card.card, opened, card.file);
    if (!failure) failure = analyse_card_copy(*card.card, *card.slots, false);
    if (failure) {
      card.failure = path + ": " + failure->text + " Its game's saves are not added to it.";
      return card;
    }
    card.before = std::make_unique<CardImage>(*card.card);
    card.failure = rival_claim(path);
    return card;
  }

  SplitPlan& plan_;
  std::map<std::string, size_t> index_;
  std::map<std::string, std::string> folders_;
};

}  // namespace

Failure plan_split(const std::vector<SplitSource>& sources, CardLayout layout, const std::string& folder,
                   SplitPlan& plan) {
  plan = SplitPlan{};
  plan.layout = layout;
  const PathKind kind = path_kind(folder);
  if (kind != PathKind::folder && kind != PathKind::missing)
    return fail(folder + ": this is no folder.", "File Error");
  plan.folders = layout_folders(layout, folder);
  const std::map<std::string, std::string> game_to_folder =
      layout == CardLayout::sd2psx ? read_game_to_folder(plan.folders.game_to_folder_ini)
                                   : std::map<std::string, std::string>{};
  Planner planner(plan);
  for (const SplitSource& source : sources) {
    for (int slot = 0; slot < kSlotCount; ++slot) {
      const int status = source.slots->status[slot];
      if (status <= 0 && status != kSlotCorrupted) continue;
      SplitEntry entry;
      entry.source = source.label;
      entry.slot = slot;
      entry.name = DirectoryFrame{directory_frame(*source.card, slot)}.name();
      entry.blocks = std::max(status, 1);
      entry.game_id = game_id_in_save_name(entry.name);
      entry.card_name = card_name_for(entry.game_id, game_to_folder);
      SaveImport save;
      if (status == kSlotCorrupted) {
        entry.outcome = SplitOutcome::refused;
        entry.why = "the slot is corrupted (its directory frame or save header is damaged)";
      } else if (Failure failure = take_save(*source.card, slot, save)) {
        entry.outcome = SplitOutcome::refused;
        entry.why = failure->text;
      } else {
        planner.place(entry, save);
      }
      plan.entries.push_back(entry);
    }
  }
  return std::nullopt;
}

Failure carry_out_split(const SplitPlan& plan, SplitWritten& written) {
  written = SplitWritten{};
  for (const SplitCard& card : plan.cards) {
    if (card.added == 0) continue;
    const std::string folder = parent_folder(card.path);
    if (!make_folders(folder)) {
      written.failed_path = folder;
      return fail("Cannot make the folder.", "File Error");
    }
    if (card.existed) {
      std::string backup;
      if (Failure failure = write_backup(*card.before, backup)) {
        written.failed_path = card.path;
        return failure;
      }
      written.backups.push_back(backup);
    }
    if (Failure failure = write_card_file(card.path, *card.card, card.file)) {
      written.failed_path = card.path;
      return failure;
    }
    written.cards.push_back(card.path);
  }
  return std::nullopt;
}

int split_count(const SplitPlan& plan, SplitOutcome outcome) {
  int count = 0;
  for (const SplitEntry& entry : plan.entries) count += entry.outcome == outcome;
  return count;
}

bool split_complete(const SplitPlan& plan) {
  return split_count(plan, SplitOutcome::did_not_fit) + split_count(plan, SplitOutcome::refused) == 0;
}

std::string split_entry_text(const SplitEntry& entry) {
  std::string text = entry.source + ", slot " + std::to_string(entry.slot + 1) + ": " + entry.name + " (" +
                     blocks_text(entry.blocks) + ")";
  switch (entry.outcome) {
    case SplitOutcome::added:
      text += " to " + entry.path;
      if (!entry.why.empty()) text += " (" + entry.why + ")";
      break;
    case SplitOutcome::already_there: text += " is on " + entry.path + " already: skipped"; break;
    case SplitOutcome::did_not_fit: text += " did not fit: " + entry.why; break;
    case SplitOutcome::refused: text += " not split: " + entry.why; break;
  }
  return text;
}

std::string split_report(const SplitPlan& plan) {
  std::string report;
  for (const SplitEntry& entry : plan.entries) report += split_entry_text(entry) + "\n";
  int cards = 0;
  for (const SplitCard& card : plan.cards) cards += card.added > 0;
  const int added = split_count(plan, SplitOutcome::added);
  report += std::to_string(added) + (added == 1 ? " save" : " saves") + " split into " + std::to_string(cards) +
            (cards == 1 ? " game card" : " game cards");
  if (int there = split_count(plan, SplitOutcome::already_there)) report += ", " + std::to_string(there) + " already there";
  if (int unfit = split_count(plan, SplitOutcome::did_not_fit)) report += ", " + std::to_string(unfit) + " did not fit";
  if (int refused = split_count(plan, SplitOutcome::refused)) report += ", " + std::to_string(refused) + " not split";
  return report + ".\n";
}
