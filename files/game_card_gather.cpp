#include "files/game_card_gather.h"

#include <algorithm>
#include <map>
#include <memory>

#include "card/analysis.h"
#include "card/slot_text.h"
#include "files/save_copy.h"
#include "files/save_file.h"

namespace {

struct Candidate {
  GatherEntry entry;
  SaveImport save;
};

bool wanted(const LibraryCard& card, const LibrarySave& save, const GatherOptions& options) {
  if (options.games.empty()) return true;
  for (const std::string& game : options.games) {
    if (save.game_id == game) return true;
    if (std::find(card.game_ids.begin(), card.game_ids.end(), game) != card.game_ids.end()) return true;
  }
  return false;
}

std::string where(const GatherEntry& entry) {
  return "channel " + std::to_string(entry.channel) + ", " + entry.path;
}

// The versions of one save name: the one to take, or none, and why the
// others are not taken. `taken` is the index of the candidate to place, -1
// for none.
int choose_version(std::vector<Candidate*>& versions, int channel) {
  std::vector<size_t> distinct;  // the first candidate of each content
  std::vector<size_t> content_of(versions.size());
  for (size_t i = 0; i < versions.size(); ++i) {
    size_t d = 0;
    while (d < distinct.size() && versions[distinct[d]]->save.data != versions[i]->save.data) ++d;
    if (d == distinct.size()) distinct.push_back(i);
    content_of[i] = d;
  }
  int taken = -1;
  std::vector<size_t> on_channel;  // the contents the chosen channel holds
  if (distinct.size() == 1) {
    taken = 0;
  } else {
    for (size_t i = 0; i < versions.size(); ++i)
      if (versions[i]->entry.channel == channel &&
          std::find(on_channel.begin(), on_channel.end(), content_of[i]) == on_channel.end())
        on_channel.push_back(content_of[i]);
    if (on_channel.size() == 1) taken = int(distinct[on_channel[0]]);
  }
  for (size_t i = 0; i < versions.size(); ++i) {
    GatherEntry& entry = versions[i]->entry;
    if (int(i) == taken) continue;
    if (taken >= 0 && content_of[i] == content_of[taken]) {
      entry.outcome = GatherOutcome::copy;
      entry.why = "the same save as the one taken from " + where(versions[taken]->entry);
    } else if (taken >= 0) {
      entry.outcome = GatherOutcome::other_version;
      entry.why = "the version of " + where(versions[taken]->entry) + " was taken (--channel chooses another)";
    } else {
      entry.outcome = GatherOutcome::undecided;
      entry.why = std::to_string(distinct.size()) + " versions differ and channel " + std::to_string(channel) +
                  (on_channel.empty() ? " holds none of them" : " holds more than one (two files claim it)") +
                  ": --channel names the one to take";
    }
  }
  return taken;
}

}  // namespace

Failure gather_game_cards(const std::vector<std::string>& sources, const GatherOptions& options,
                          CardImage& target, GatherReport& report) {
  report = GatherReport{};
  auto target_slots = std::make_unique<SlotTable>();
  if (Failure failure = analyse_card_copy(target, *target_slots, false)) return failure;
  std::vector<std::unique_ptr<Candidate>> candidates;
  for (const std::string& source : sources) {
    std::vector<LibraryCard> cards;
    if (Failure failure = scan_library(source, true, cards)) {
      report.failed_source = source;
      return failure;
    }
    for (LibraryCard& card : cards) {
      for (const std::string& note : card.notes) report.notes.push_back(card.path + ": " + note);
      if (!card.failure.empty()) {
        card.card.reset();
        report.no_cards.push_back(card);
        continue;
      }
      ++report.cards_read;
      for (const LibrarySave& save : card.saves) {
        if (!wanted(card, save, options)) continue;
        auto candidate = std::make_unique<Candidate>();
        GatherEntry& entry = candidate->entry;
        entry.path = card.path;
        entry.channel = card.place.channel ? card.place.channel : 1;
        entry.slot = save.slot;
        entry.name = save.name;
        entry.blocks = save.blocks;
        entry.game_id = save.game_id;
        if (Failure failure = take_save(*card.card, save.slot, candidate->save)) {
          entry.outcome = GatherOutcome::unreadable;
          entry.why = failure->text;
          report.entries.push_back(entry);
          continue;
        }
        candidates.push_back(std::move(candidate));
      }
    }
  }
  // By game, then name: the games without an ID last. The sort is stable, so
  // versions keep the order of their channels' files.
  std::stable_sort(candidates.begin(), candidates.end(), [](const auto& a, const auto& b) {
    const bool a_other = a->entry.game_id.empty(), b_other = b->entry.game_id.empty();
    if (a_other != b_other) return b_other;
    if (a->entry.game_id != b->entry.game_id) return a->entry.game_id < b->entry.game_id;
    return a->entry.name < b->entry.name;
  });
  for (size_t first = 0; first < candidates.size();) {
    size_t end = first;
    std::vector<Candidate*> versions;
    while (end < candidates.size() && candidates[end]->entry.name == candidates[first]->entry.name)
      versions.push_back(candidates[end++].get());
    const int taken = choose_version(versions, options.channel);
    if (taken >= 0) {
      Candidate& chosen = *versions[taken];
      GatherEntry& entry = chosen.entry;
      const int there = slot_holding(target, *target_slots, chosen.save);
      if (there >= 0) {
        entry.outcome = GatherOutcome::already_there;
        entry.target_slot = there;
      } else if (slot_named(target, *target_slots, entry.name) >= 0) {
        entry.outcome = GatherOutcome::name_taken;
        entry.why = "the card holds another save of this name";
      } else if (Failure failure = import_save(target, target_slots->used, chosen.save)) {
        entry.outcome = GatherOutcome::did_not_fit;
        const int free_blocks = kSlotCount - target_slots->used;
        entry.why = "it needs " + blocks_text(entry.blocks) + ", the card has " + std::to_string(free_blocks) + " free";
      } else {
        entry.outcome = GatherOutcome::added;
        analyse_card_copy(target, *target_slots, false);
        entry.target_slot = slot_named(target, *target_slots, entry.name);
      }
    }
    for (Candidate* version : versions) report.entries.push_back(version->entry);
    first = end;
  }
  return std::nullopt;
}

int gather_count(const GatherReport& report, GatherOutcome outcome) {
  int count = 0;
  for (const GatherEntry& entry : report.entries) count += entry.outcome == outcome;
  return count;
}

std::string gather_entry_text(const GatherEntry& entry) {
  std::string text = entry.path + ", slot " + std::to_string(entry.slot + 1) + " (channel " +
                     std::to_string(entry.channel) + "): " + entry.name + " (" + blocks_text(entry.blocks) + ")";
  switch (entry.outcome) {
    case GatherOutcome::added: return text + " to slot " + std::to_string(entry.target_slot + 1);
    case GatherOutcome::already_there:
      return text + " is in slot " + std::to_string(entry.target_slot + 1) + " already: skipped";
    case GatherOutcome::copy: return text + ": " + entry.why;
    case GatherOutcome::other_version:
    case GatherOutcome::undecided:
    case GatherOutcome::name_taken: return text + " not taken: " + entry.why;
    case GatherOutcome::did_not_fit: return text + " did not fit: " + entry.why;
    case GatherOutcome::unreadable: return text + " cannot be taken: " + entry.why;
  }
  return text;
}

std::string gather_report(const GatherReport& report) {
  std::string text;
  for (const GatherEntry& entry : report.entries) text += gather_entry_text(entry) + "\n";
  for (const LibraryCard& card : report.no_cards) text += card.path + ": no card: " + card.failure + "\n";
  for (const std::string& note : report.notes) text += note + "\n";
  const int added = gather_count(report, GatherOutcome::added);
  text += std::to_string(added) + (added == 1 ? " save" : " saves") + " gathered from " +
          std::to_string(report.cards_read) + (report.cards_read == 1 ? " card" : " cards");
  if (int there = gather_count(report, GatherOutcome::already_there)) text += ", " + std::to_string(there) + " already there";
  const int left = gather_count(report, GatherOutcome::other_version) + gather_count(report, GatherOutcome::undecided) +
                   gather_count(report, GatherOutcome::name_taken) + gather_count(report, GatherOutcome::did_not_fit) +
                   gather_count(report, GatherOutcome::unreadable);
  if (left) text += ", " + std::to_string(left) + " not taken";
  return text + ".\n";
}
