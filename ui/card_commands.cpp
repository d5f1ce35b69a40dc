#include "ui/card_commands.h"

#include <string>

#include "card/editing.h"
#include "card/undelete.h"
#include "files/card_file.h"
#include "ui/app_state.h"
#include "ui/checks.h"
#include "ui/file_dialog.h"
#include "ui/message_box.h"
#include "ui/slot_view.h"
#include "ui/undo_commands.h"

namespace {

const char kSaveFilter[] = "Memory Card File\0*.mc;*.mcr;*.mcd;*.mcx\0";

void open_without_asking(const std::string& path) {
  bool opened = false;
  CardFileInfo file;
  const Failure failure = read_card_file(path, app.card, opened, file);
  if (opened) app.snapshot_valid = false;
  if (show_failure(failure)) return;
  app.partial_read = false;  // a whole image replaced whatever a fast read left
  app.file_path = path;
  app.file = file;
  const Failure analysis = analyse_and_show();
  start_card_history();  // the card is the file's now, even one that is no card
  if (!show_failure(analysis) && !file.notice.empty()) show_warning(file.notice);
}

}  // namespace

void open_card_file() {
  if (!confirm_loss()) return;
  std::string path;
  if (ask_open_path(kCardFileFilter, path)) open_without_asking(path);
}

void open_card_named(const std::string& path) {
  if (confirm_loss()) open_without_asking(path);
}

void save_card_file() {
  if (!require_card() || refuse_partial()) return;
  std::string path;
  if (!ask_save_path(kSaveFilter, "mc", path)) return;
  // Saved over the file it came from, a card keeps that file's format (a
  // VMP stays signed); anywhere else it takes the format the name asks for.
  CardFileInfo file = app.file;
  if (path != app.file_path) file.format = card_format_for_path(path);
  if (show_failure(write_card_file(path, app.card, file))) return;
  if (comments_lost(app.card, app.file, file.format)) show_warning(kCommentsNotKept);
}

void new_card() {
  if (!confirm_loss()) return;
  app.file_path.clear();
  app.file = CardFileInfo{};
  format_card(app.card);
  app.partial_read = false;
  app.snapshot_valid = false;
  analyse_and_show();
}

void forget_card() {
  app.card = CardImage{};
  app.file_path.clear();
  app.file = CardFileInfo{};
  app.partial_read = false;
  app.snapshot_valid = false;
  show_no_card();
  start_card_history();
}

void delete_selected_save() {
  if (!require_card() || !require_selection()) return;
  delete_save(app.card, app.selected);
  analyse_and_show();
}

void delete_key_command() {
  if (!require_card() || !require_selection()) return;
  if (app.slots.status[app.selected] != kSlotEmpty &&
      !ask_yes_no("Do you want to delete the selected save ?"))
    return;
  delete_selected_save();
}

void restore_deleted_save() {
  if (!require_card() || !require_selection()) return;
  const int slot = app.selected;
  if (show_failure(undelete_save(app.card, slot))) return;
  analyse_and_show();
  select_slot(slot);  // the save is back: show it
}
