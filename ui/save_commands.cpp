#include "ui/save_commands.h"

#include <vector>

#include "files/save_file.h"
#include "ui/app_state.h"
#include "ui/checks.h"
#include "ui/file_dialog.h"
#include "ui/message_box.h"
#include "ui/name_dialog.h"
#include "ui/slot_view.h"

namespace {

const char kImportFilter[] = "Memory Card Single Save File\0*.mcs;*.bin\0";
const char kExportFilter[] = "Single Save File\0*.mcs\0";

// A raw file carries no directory frame: the user names the save. False
// when the import should end.
bool take_named_raw_save(const FilePrefix& file, SaveImport& save) {
  if (show_failure(check_raw_header(file))) return false;
  if (!raw_is_whole_blocks(file) &&
      !ask_yes_no("Binary File is not multiple of 8k !\nDo you want to import it anyway ?"))
    return false;
  if (show_failure(take_raw(file, save))) return false;
  ShowWindow(app.window, SW_HIDE);
  const std::string name = run_name_dialog();
  if (name.empty()) return false;
  name_raw_save(save, name);
  return true;
}

}  // namespace

void import_save_command() {
  if (!require_card()) return;
  std::string path;
  if (ask_open_path(kImportFilter, path)) import_save_file(path);
}

void import_save_file(const std::string& path) {
  FilePrefix file;
  if (show_failure(read_save_file(path, file)) || show_failure(check_long_enough(file))) return;
  SaveImport save;
  if (is_mcs(file)) {
    if (show_failure(take_mcs(file, save))) return;
  } else if (!take_named_raw_save(file, save)) {
    return;
  }
  if (show_failure(import_save(app.card, app.slots.used, save))) return;
  analyse_and_show();
}

void export_save_command() {
  if (!require_card() || refuse_partial() || !require_selection()) return;
  if (show_failure(check_exportable(app.slots, app.selected, app.allow_corrupted))) return;
  std::string path;
  if (!ask_save_path(kExportFilter, "mcs", path)) return;
  std::vector<uint8_t> mcs;
  if (show_failure(export_save(app.card, app.selected, mcs))) return;
  show_failure(write_file_replacing(path, mcs.data(), mcs.size()));
}
