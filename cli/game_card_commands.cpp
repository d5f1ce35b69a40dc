// The verbs on folders of per-game cards (SD-card memory cards, emulators):
// "split" a card into its games' cards, "gather" them back onto one card,
// and "list FOLDER", the library.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "adaptor/reader.h"
#include "card/editing.h"
#include "card/save_name.h"
#include "cli/card_files.h"
#include "cli/commands.h"
#include "cli/library_listing.h"
#include "cli/listing.h"
#include "cli/text_utf8.h"
#include "files/backups.h"
#include "files/card_file.h"
#include "files/folders.h"
#include "files/game_card_gather.h"
#include "files/game_card_split.h"

namespace {

const char kLayouts[] = "--layout takes memcardpro, sd2psx or duckstation";

std::string utf8(const std::string& text) { return latin1_to_utf8(text); }

// The cards a command reads saves from: card files, or the card in the
// chosen reader with --adaptor (a whole read).
struct Sources {
  std::vector<std::unique_ptr<OpenCard>> cards;
  std::vector<std::string> labels;
};

int open_sources(const Arguments& arguments, Sources& sources) {
  if (arguments.has("--adaptor")) {
    if (int wrong = choose_reader(arguments)) return wrong;
    auto open = std::make_unique<OpenCard>();
    if (Failure failure = read_from_adaptor(false, open->card)) return report_failure(failure);
    if (Failure failure = analyse_card(open->card, open->slots, false)) return report_failure(failure);
    sources.labels.push_back(reader_name(current_reader()));
    sources.cards.push_back(std::move(open));
  }
  for (const std::string& path : arguments.operands) {
    auto open = std::make_unique<OpenCard>();
    if (Failure failure = open_card_file(path, false, *open)) return report_failure(failure, path);
    sources.labels.push_back(path);
    sources.cards.push_back(std::move(open));
  }
  return kDone;
}

const char* outcome_name(SplitOutcome outcome) {
  switch (outcome) {
    case SplitOutcome::added: return "added";
    case SplitOutcome::already_there: return "already-there";
    case SplitOutcome::did_not_fit: return "did-not-fit";
    case SplitOutcome::refused: return "refused";
  }
  return "";
}

const char* outcome_name(GatherOutcome outcome) {
  switch (outcome) {
    case GatherOutcome::added: return "added";
    case GatherOutcome::already_there: return "already-there";
    case GatherOutcome::copy: return "copy";
    case GatherOutcome::other_version: return "other-version";
    case GatherOutcome::undecided: return "undecided";
    case GatherOutcome::name_taken: return "name-taken";
    case GatherOutcome::did_not_fit: return "did-not-fit";
    case GatherOutcome::unreadable: return "unreadable";
  }
  return "";
}

std::string json_list(const std::vector<std::string>& items) {
  std::string out = "[";
  for (size_t i = 0; i < items.size(); ++i) out += (i ? ", " : "") + json_string(utf8(items[i]));
  return out + "]";
}

std::string split_json(const SplitPlan& plan, bool dry_run, const SplitWritten& written, const Failure& stopped) {
  std::string out = "{\"layout\": " + json_string(card_layout_name(plan.layout)) +
                    ", \"cards_folder\": " + json_string(utf8(plan.folders.cards)) +
                    ", \"dry_run\": " + (dry_run ? "true" : "false") + ", \"saves\": [";
  for (size_t i = 0; i < plan.entries.size(); ++i) {
    const SplitEntry& entry = plan.entries[i];
    out += std::string(i ? ",\n" : "\n") + "  {\"source\": " + json_string(utf8(entry.source)) +
           ", \"slot\": " + std::to_string(entry.slot + 1) + ", \"name\": " + json_string(utf8(entry.name)) +
           ", \"blocks\": " + std::to_string(entry.blocks) +
           ", \"game\": " + (entry.game_id.empty() ? "null" : json_string(entry.game_id)) +
           ", \"outcome\": " + json_string(outcome_name(entry.outcome)) +
           ", \"card\": " + (entry.path.empty() ? "null" : json_string(utf8(entry.path))) +
           ", \"channel\": " + (entry.channel ? std::to_string(entry.channel) : "null") +
           ", \"why\": " + (entry.why.empty() ? "null" : json_string(utf8(entry.why))) + "}";
  }
  out += std::string(plan.entries.empty() ? "" : "\n") + "], \"written\": " + json_list(written.cards) +
         ", \"backups\": " + json_list(written.backups);
  if (stopped)
    out += ", \"stopped\": {\"path\": " + json_string(utf8(written.failed_path)) +
           ", \"error\": " + json_string(stopped->text) + "}";
  return out + "}\n";
}

std::string gather_json(const GatherReport& report, bool dry_run) {
  std::string out = std::string("{\"dry_run\": ") + (dry_run ? "true" : "false") + ", \"saves\": [";
  for (size_t i = 0; i < report.entries.size(); ++i) {
    const GatherEntry& entry = report.entries[i];
    out += std::string(i ? ",\n" : "\n") + "  {\"card\": " + json_string(utf8(entry.path)) +
           ", \"channel\": " + std::to_string(entry.channel) + ", \"slot\": " + std::to_string(entry.slot + 1) +
           ", \"name\": " + json_string(utf8(entry.name)) + ", \"blocks\": " + std::to_string(entry.blocks) +
           ", \"game\": " + (entry.game_id.empty() ? "null" : json_string(entry.game_id)) +
           ", \"outcome\": " + json_string(outcome_name(entry.outcome)) +
           ", \"target_slot\": " + (entry.target_slot >= 0 ? std::to_string(entry.target_slot + 1) : "null") +
           ", \"why\": " + (entry.why.empty() ? "null" : json_string(utf8(entry.why))) + "}";
  }
  out += std::string(report.entries.empty() ? "" : "\n") + "], \"no_cards\": [";
  for (size_t i = 0; i < report.no_cards.size(); ++i)
    out += std::string(i ? ", " : "") + "{\"path\": " + json_string(utf8(report.no_cards[i].path)) +
           ", \"error\": " + json_string(report.no_cards[i].failure) + "}";
  return out + "], \"notes\": " + json_list(report.notes) + "}\n";
}

bool all_gathered(const GatherReport& report) {
  for (const GatherEntry& entry : report.entries)
    if (entry.outcome != GatherOutcome::added && entry.outcome != GatherOutcome::already_there &&
        entry.outcome != GatherOutcome::copy)
      return false;
  return report.no_cards.empty();
}

// The gathered card in a card file: the card it held (`before`, none for a
// new file) kept with the backups first.
int write_gathered_file(const Arguments& arguments, const std::string& path, const CardImage* before, OpenCard& open,
                        std::FILE* messages) {
  if (before) {
    std::string backup;
    if (Failure failure = write_backup(*before, backup)) return report_failure(failure, path);
    std::fprintf(messages, "Kept the old %s with the backups: %s.\n", path.c_str(), backup.c_str());
  }
  std::string out;
  if (Failure failure = write_changed_card(arguments, path, open, out)) return report_failure(failure, out);
  std::fprintf(messages, "Wrote %s (%d/15).\n", out.c_str(), open.slots.used);
  return kDone;
}

}  // namespace

int split_command(const Arguments& arguments) {
  const std::optional<std::string> into = arguments.value("--into");
  const std::optional<std::string> layout_text = arguments.value("--layout");
  if (!into) return usage_error("split needs --into FOLDER");
  if (!layout_text) return usage_error("split needs --layout: memcardpro, sd2psx or duckstation");
  const std::optional<CardLayout> layout = card_layout_named(*layout_text);
  if (!layout) return usage_error(kLayouts);
  if (arguments.operands.empty() && !arguments.has("--adaptor"))
    return usage_error("split takes a CARD, or --adaptor");
  Sources sources;
  if (int status = open_sources(arguments, sources)) return status;
  std::vector<SplitSource> split_sources;
  for (size_t i = 0; i < sources.cards.size(); ++i)
    split_sources.push_back(SplitSource{sources.labels[i], &sources.cards[i]->card, &sources.cards[i]->slots});

  SplitPlan plan;
  if (Failure failure = plan_split(split_sources, *layout, *into, plan)) return report_failure(failure, *into);
  const bool json = arguments.has("--json");
  const bool dry_run = arguments.has("--dry-run");
  SplitWritten written;
  Failure stopped;
  if (!dry_run) stopped = carry_out_split(plan, written);
  if (json) {
    std::fputs(split_json(plan, dry_run, written, stopped).c_str(), stdout);
  } else {
    std::fputs(utf8(split_report(plan)).c_str(), stdout);
    if (dry_run)
      std::printf("Dry run: nothing written.\n");
    else if (!written.cards.empty())
      std::printf("Wrote %zu card %s%s.\n", written.cards.size(), written.cards.size() == 1 ? "file" : "files",
                  written.backups.empty() ? ""
                  : ("; the old contents of the " + std::to_string(written.backups.size()) +
                     " that existed are kept with the backups").c_str());
  }
  if (stopped) {
    report_failure(stopped, written.failed_path);
    std::string unwritten;
    for (const SplitCard& card : plan.cards)
      if (card.added && std::find(written.cards.begin(), written.cards.end(), card.path) == written.cards.end())
        unwritten += "  " + card.path + "\n";
    std::fprintf(stderr,
                 "The split stopped there; every card file is whole, and these were not written:\n%s"
                 "Run it again once the cause is mended: the saves written already are not written twice.\n",
                 unwritten.c_str());
    return kFailed;
  }
  return split_complete(plan) ? kDone : kFailed;
}

int gather_command(const Arguments& arguments) {
  const std::optional<std::string> into = arguments.value("--into");
  const bool adaptor = arguments.has("--adaptor");
  if (into.has_value() == adaptor) return usage_error("gather takes either --into CARD or --adaptor");
  GatherOptions options;
  for (const std::string& game : arguments.list("--game")) {
    const std::string id = normalised_game_id(game);
    if (id.empty()) return usage_error("--game takes game IDs such as SLUS-00594, not '" + game + "'");
    options.games.push_back(id);
  }
  if (const std::optional<std::string> channel = arguments.value("--channel")) {
    if (channel->size() != 1 || (*channel)[0] < '1' || (*channel)[0] > '0' + kMostChannels)
      return usage_error("--channel takes a channel from 1 to 8");
    options.channel = (*channel)[0] - '0';
  }
  const bool json = arguments.has("--json");
  const bool dry_run = arguments.has("--dry-run");
  std::FILE* messages = json ? stderr : stdout;

  auto open = std::make_unique<OpenCard>();
  std::unique_ptr<CardImage> before;  // the target file's card as it was
  std::string target_name;
  if (adaptor) {
    if (int wrong = choose_reader(arguments)) return wrong;
    if (Failure failure = read_from_adaptor(false, open->card)) return report_failure(failure);
    target_name = reader_name(current_reader());
  } else {
    target_name = *into;
    if (path_kind(*into) != PathKind::missing) {
      if (Failure failure = open_card_file(*into, false, *open)) return report_failure(failure, *into);
      before = std::make_unique<CardImage>(open->card);
    } else {
      format_card(open->card);
      open->file.format = card_format_for_path(*into);
    }
  }
  GatherReport report;
  if (Failure failure = gather_game_cards(arguments.operands, options, open->card, report))
    return report_failure(failure, report.failed_source.empty() ? target_name : report.failed_source);
  if (json)
    std::fputs(gather_json(report, dry_run).c_str(), stdout);
  else
    std::fputs(utf8(gather_report(report)).c_str(), stdout);
  const bool changed = gather_count(report, GatherOutcome::added) > 0;
  int status = kDone;
  if (dry_run) {
    std::fprintf(messages, "Dry run: nothing written.\n");
  } else if (changed || (!adaptor && !before)) {
    if (Failure failure = analyse_card(open->card, open->slots, false)) return report_failure(failure, target_name);
    status = adaptor ? write_to_reader(open->card, target_name, SyncOrders{}, true, messages)
                     : write_gathered_file(arguments, *into, before.get(), *open, messages);
  } else {
    std::fprintf(messages, "Nothing to add: %s is left as it was.\n", target_name.c_str());
  }
  if (status != kDone) return status;
  return all_gathered(report) ? kDone : kFailed;
}

int list_library(const Arguments& arguments) {
  const std::string& folder = arguments.operands[0];
  std::vector<LibraryCard> cards;
  if (Failure failure = scan_library(folder, false, cards)) return report_failure(failure, folder);
  if (const std::optional<std::string> text = arguments.value("--find")) keep_found(cards, *text);
  const std::string listing = arguments.has("--json") ? library_json(cards) : library_lines(cards);
  std::fputs(listing.c_str(), stdout);
  return kDone;
}
