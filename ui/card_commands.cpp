#include "ui/card_commands.h"

#include <string>

#include "card/editing.h"
#include "files/card_file.h"
#include "ui/app_state.h"
#include "ui/checks.h"
#include "ui/file_dialog.h"
#include "ui/message_box.h"
#include "ui/slot_view.h"

namespace {

const char kOpenFilter[] = "Memory Card File\0*.mc;*.mcr;*.mcd;*.mcx;*.gme\0";
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
  if (!show_failure(analyse_and_show()) && !file.notice.empty()) show_warning(file.notice);
}

}  // namespace

void open_card_file() {
  if (!confirm_loss()) return;
  std::string path;
  if (ask_open_path(kOpenFilter, path)) open_without_asking(path);
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
  show_failure(write_card_file(path, app.card, file));
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

void delete_selected_save() {
  if (!require_card() || !require_selection()) return;
  delete_save(app.card, app.selected);
  analyse_and_show();
}
