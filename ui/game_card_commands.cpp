#include "ui/game_card_commands.h"

#include <memory>
#include <string>

#include "card/editing.h"
#include "files/game_card_gather.h"
#include "files/game_card_split.h"
#include "ui/app_state.h"
#include "ui/checks.h"
#include "ui/game_cards_dialog.h"
#include "ui/message_box.h"
#include "ui/slot_view.h"

namespace {

const char kSplitCaption[] = "Split Card into Game Cards";
const char kGatherCaption[] = "Gather Game Cards";

// The last choices of the run: the same SD card, most likely, again.
GameCardsChoice last_choice;

// A message box shows lines of its own; the core's lines end in "\n".
std::string without_last_line_end(std::string text) {
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

}  // namespace

void split_card_command() {
  if (!require_card() || refuse_partial()) return;
  if (!ask_game_cards(GameCardsJob::split, last_choice)) return;
  const std::string label = app.file_path.empty() ? "Card" : app.file_path;
  SplitPlan plan;
  if (show_failure(plan_split({SplitSource{label, &app.card, &app.slots}}, last_choice.layout, last_choice.folder, plan)))
    return;
  SplitWritten written;
  const Failure stopped = carry_out_split(plan, written);
  std::string report = without_last_line_end(split_report(plan));
  if (stopped) {
    show_error(report + "\n\nThe split stopped at " + written.failed_path + ": " + stopped->text +
                   "\nEvery card file is whole. Split again once the cause is mended: the saves written "
                   "already are not written twice.",
               kSplitCaption);
    return;
  }
  const size_t backups = written.backups.size();
  if (backups == 1) report += "\nThe old contents of the game card changed are kept with the backups.";
  if (backups > 1)
    report += "\nThe old contents of the " + std::to_string(backups) + " game cards changed are kept with the backups.";
  if (split_complete(plan))
    show_information(report, kSplitCaption);
  else
    show_warning(report, kSplitCaption);
}

void gather_cards_command() {
  if (!ask_game_cards(GameCardsJob::gather, last_choice)) return;
  auto card = std::make_unique<CardImage>();
  format_card(*card);
  GatherOptions options;
  options.channel = last_choice.channel;
  GatherReport report;
  if (Failure failure = gather_game_cards({last_choice.folder}, options, *card, report)) {
    show_error(last_choice.folder + ": " + failure->text, kGatherCaption);
    return;
  }
  const std::string text = without_last_line_end(gather_report(report));
  if (gather_count(report, GatherOutcome::added) == 0) {
    show_warning(text + "\n\nNothing was gathered: the card in memory is left as it is.", kGatherCaption);
    return;
  }
  if (!confirm_loss()) return;
  app.card = *card;
  app.file_path.clear();
  app.file = CardFileInfo{};
  app.partial_read = false;
  app.snapshot_valid = false;
  if (show_failure(analyse_and_show())) return;
  show_information(text + "\n\nSave the card with \"Save MC\", or write it with \"Write to PS3MCA\".",
                   kGatherCaption);
}
