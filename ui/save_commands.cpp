#include "ui/save_commands.h"

#include <vector>

#include "files/save_copy.h"
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

}  // namespace

bool import_save_from(const std::string& path) {
  FilePrefix file;
  if (show_failure(read_save_file(path, file))) return false;
  ImportQuestions questions;
  questions.import_ragged_file = [] {
    return ask_yes_no("Binary File is not multiple of 8k !\nDo you want to import it anyway ?");
  };
  // A raw file carries no directory frame: the user names the save, from
  // the name its file's name holds, if any.
  questions.name_raw_save = [&path] {
    ShowWindow(app.window, SW_HIDE);
    return run_name_dialog(save_name_in_file_name(path));
  };
  questions.notice = [](const std::string& text) { show_warning(text); };
  bool imported = false;
  const Failure failure = import_save_file(file, app.card, app.slots.used, questions, imported);
  if (show_failure(name_ps2_container(path, failure)) || !imported) return false;
  analyse_and_show();
  return true;
}

namespace {

// "Export Save to MCS" writes MCS unless the name asks for another format
// (.psx, .psv, .bin, ...); "Export Save As..." offers the four as file
// types, and a name's own extension still wins over the type.
const char kExportAsFilter[] =
    "MCS Save File (*.mcs)\0*.mcs\0PSX Save File (*.psx)\0*.psx\0"
    "PSV Save File, signed (*.psv)\0*.psv\0Raw Save File (*.bin)\0*.bin\0";
const SaveFormat kExportAsFormats[] = {SaveFormat::mcs, SaveFormat::psx, SaveFormat::psv,
                                       SaveFormat::raw};

void export_selected_save(bool choose_format) {
  if (!require_card() || refuse_partial() || !require_selection()) return;
  if (show_failure(check_exportable(app.slots, app.selected, app.allow_corrupted))) return;
  std::string path;
  int type = 1;
  const bool chosen =
      choose_format
          ? ask_save_path(kExportAsFilter, "mcs", path, type,
                          safe_file_name(DirectoryFrame{directory_frame(app.card, app.selected)}.name()))
          : ask_save_path(kExportFilter, "mcs", path);
  if (!chosen) return;
  const SaveFormat typed = type >= 1 && type <= 4 ? kExportAsFormats[type - 1] : SaveFormat::mcs;
  const SaveFormat format = save_format_for_path(path, typed);
  std::vector<uint8_t> bytes;
  if (show_failure(export_save(app.card, app.selected, format, bytes))) return;
  show_failure(write_file_replacing(path, bytes.data(), bytes.size()));
}

}  // namespace

void import_save_command() {
  if (!require_card()) return;
  std::string path;
  if (ask_open_path(kImportFilter, path)) import_save_from(path);
}

void export_save_command() { export_selected_save(false); }

void export_save_as_command() { export_selected_save(true); }

void copy_save_to_card_file_command() {
  if (!require_card() || refuse_partial() || !require_selection()) return;
  if (show_failure(check_exportable(app.slots, app.selected, app.allow_corrupted))) return;
  std::string path;
  if (!ask_open_path(kCardFileFilter, path)) return;
  CopiedSave copied;
  show_failure(copy_save_to_card_file(app.card, app.file, app.selected, path, copied));
}
