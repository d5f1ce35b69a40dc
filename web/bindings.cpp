// The core as the web page calls it: the page's two cards (side by side),
// each with its file, its analysis and its undo history, as the window holds
// its one, and the card jobs over the reader the user chose. Every call
// returns 1 when it did its work and 0 when it refused, the reason (the
// core's own message) in qc_failure(); what the page shows comes back as
// JSON (qc_result) and bytes (qc_output). The calls that reach the browser's
// promises (WebCrypto, Web Serial, WebUSB, the canvas, storage) are made
// from the page as asynchronous calls (Asyncify).
#include <emscripten.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "adaptor/card_sync.h"
#include "adaptor/reader.h"
#include "adaptor/transfer_jobs.h"
#include "card/analysis.h"
#include "card/card_check.h"
#include "card/editing.h"
#include "card/icon_picture.h"
#include "card/slot_text.h"
#include "card/undelete.h"
#include "files/backups.h"
#include "files/card_file.h"
#include "files/card_file_check.h"
#include "files/card_history.h"
#include "files/json_text.h"
#include "files/picture_file.h"
#include "files/save_copy.h"
#include "files/save_file.h"
#include "web/json_writer.h"

namespace {

constexpr int kPanes = 2;
// The name the page gives the serial port the user chose (Module.serialPorts).
const char kChosenSerialPort[] = "browser";

struct Pane {
  CardState state;  // the card, its file's name and info, the fast-read and snapshot flags
  CardImage snapshot;  // what the real card held after the last read or write
  bool allow_corrupted = false;
  SlotTable slots;
  CardHistory history;
};

std::unique_ptr<Pane> panes[kPanes];
std::string failure_text, failure_caption, notice, result;
std::vector<uint8_t> output;

Pane& pane(int index) {
  index = std::clamp(index, 0, kPanes - 1);
  if (!panes[index]) panes[index] = std::make_unique<Pane>();
  return *panes[index];
}

int done() { return 1; }
int refused(const Failure& failure) {
  failure_text = failure ? failure->text : "";
  failure_caption = failure ? failure->caption : "";
  return 0;
}
int refused(const std::string& text) { return refused(fail(text)); }

void clear_call() {
  failure_text.clear();
  failure_caption.clear();
  notice.clear();
  result.clear();
  output.clear();
}

// The analysis the view shows; the card is left byte for byte.
Failure analyse(Pane& p) {
  auto slots = std::make_unique<SlotTable>();
  if (Failure failure = analyse_card_copy(p.state.card, *slots, p.allow_corrupted)) return failure;
  p.slots = *slots;
  return std::nullopt;
}

// After a change: analysed again and made a step of the history.
int changed(Pane& p) {
  if (Failure failure = analyse(p)) return refused(failure);
  p.history.record(p.state);
  return done();
}

// A card that is the file's or the real card's now: a new history.
int replaced(Pane& p) {
  const Failure failure = analyse(p);
  if (failure) p.state.card.bytes[0] = 0;  // no card, as the window leaves it
  p.history.start(p.state);
  return failure ? refused(failure) : done();
}

bool valid_slot(int slot) { return slot >= 0 && slot < kSlotCount; }

// The window's information line for a slot, as a click on it shows it.
std::string slot_info(const Pane& p, int slot) {
  const int status = p.slots.status[slot];
  if (status == kSlotCorrupted) return "Corrupted Block";
  if (status == kSlotEmpty) return "Empty Block";
  const int save = selected_save(p.slots, slot);
  if (save < 0) return "Corrupted Block";
  return latin1_to_utf8(info_line(p.state.card, save, p.slots.status[save]));
}

std::string hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

std::string view_json(Pane& p) {
  JsonWriter json;
  const bool loaded = is_loaded(p.state.card);
  json.field("loaded", loaded);
  json.field("used", loaded ? p.slots.used : 0);
  json.field("partial", p.state.partial);
  json.field("snapshot", p.state.snapshot_valid);
  json.field("file", p.state.file_path);
  json.field("format", card_format_name(p.state.file.format));
  json.field("can_undo", p.history.can_undo());
  json.field("can_redo", p.history.can_redo());
  json.field("allow_corrupted", p.allow_corrupted);
  json.begin_array("slots");
  for (int slot = 0; loaded && slot < kSlotCount; ++slot) {
    json.begin_object();
    const int status = p.slots.status[slot];
    const int save = selected_save(p.slots, slot);
    const int icon = icon_source(p.slots, slot);
    json.field("status", status);
    json.field("save", save);
    json.field("info", slot_info(p, slot));
    json.field("frames", icon >= 0 ? p.slots.icons[icon].count : 0);
    if (save >= 0 && status != kSlotEmpty) {
      json.field("name", latin1_to_utf8(name_caption(p.state.card, save)));
      json.field("title", hex(title_bytes(p.state.card, save)));
      json.field("comment", comment_to_utf8(comment_of(p.state.card, p.state.file, save)));
    }
    if (status == kSlotEmpty && is_deleted_first_block(p.state.card, slot) &&
        SaveHeader{data_block(p.state.card, slot)}.has_magic())
      json.field("deleted_title", hex(title_bytes(p.state.card, slot)));
    json.end_object();
  }
  json.end_array();
  return json.text();
}

Failure require_card(const Pane& p) {
  if (!is_loaded(p.state.card)) return fail("No Memory Card Loaded or Read.");
  return std::nullopt;
}

// The save whose block is in `slot`: its first block.
Failure selected_save_of(const Pane& p, int slot, int& save) {
  save = valid_slot(slot) ? selected_save(p.slots, slot) : -1;
  if (save < 0) return fail("No save selected.");
  return std::nullopt;
}

Failure refuse_partial(const Pane& p) {
  if (!p.state.partial) return std::nullopt;
  return fail("Only partial data was read from Memory Card !\n\nPlease desactivate the Fast Read option.");
}

FilePrefix file_of(const uint8_t* bytes, int size) {
  FilePrefix file;
  file.bytes.assign(bytes, bytes + std::max(size, 0));
  file.length = file.bytes.size();
  return file;
}

// Progress of a job, to the page (Module.onProgress(step, done, total)).
EM_JS(void, web_progress, (const char* step, int done, int total), {
  if (Module.onProgress) Module.onProgress(UTF8ToString(step), done, total);
});

// The backups live in the browser's storage (IndexedDB): written there, and
// known to be there, before the first frame goes to the card.
EM_ASYNC_JS(int, web_persist_backups, (), {
  if (!Module.persistBackups) return 1;
  try {
    await Module.persistBackups();
    return 1;
  } catch (e) {
    return 0;
  }
});

// The card the history gave back (an undo or a redo), analysed anew.
int take_from_history(Pane& p, const CardState* state, const char* nothing) {
  if (!state) return refused(nothing);
  p.state = *state;
  const Failure failure = analyse(p);
  return failure ? refused(failure) : done();
}

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE const char* qc_failure() { return failure_text.c_str(); }
EMSCRIPTEN_KEEPALIVE const char* qc_failure_caption() { return failure_caption.c_str(); }
EMSCRIPTEN_KEEPALIVE const char* qc_notice() { return notice.c_str(); }
EMSCRIPTEN_KEEPALIVE const char* qc_result() { return result.c_str(); }
EMSCRIPTEN_KEEPALIVE const uint8_t* qc_output() { return output.data(); }
EMSCRIPTEN_KEEPALIVE int qc_output_size() { return int(output.size()); }

// Whether a file is a card image rather than a single save, by its length
// and start, as the window tells the files dropped on it apart.
EMSCRIPTEN_KEEPALIVE int qc_is_card_file(const uint8_t* bytes, int size) {
  clear_call();
  FilePrefix start = file_of(bytes, std::min(size, int(kCardFileTagBytes)));
  start.length = uint64_t(std::max(size, 0));
  return is_card_file(start) ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE int qc_view(int index) {
  clear_call();
  result = view_json(pane(index));
  return done();
}

// The 16 x 16 RGB pixels of a slot's icon frame, as the window draws them.
EMSCRIPTEN_KEEPALIVE int qc_icon(int index, int slot, int frame) {
  clear_call();
  Pane& p = pane(index);
  if (!valid_slot(slot)) return refused("No save selected.");
  const int source = icon_source(p.slots, slot);
  const IconImage& image = source >= 0 && frame >= 0 && frame < p.slots.icons[source].count
                               ? p.slots.icons[source].frames[frame]
                               : white_placeholder();
  // The decoded image holds each icon pixel as a 2 x 2 square.
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      const uint8_t* pixel = image.data() + size_t(2 * y) * kIconRowBytes + size_t(2 * x) * 3;
      output.insert(output.end(), {pixel[2], pixel[1], pixel[0]});  // BGR in the window's bitmap
    }
  return done();
}

EMSCRIPTEN_KEEPALIVE int qc_new_card(int index) {
  clear_call();
  Pane& p = pane(index);
  p.state = CardState{};
  format_card(p.state.card);
  return changed(p);
}

// No card, as at start: what a drop that imported nothing leaves.
EMSCRIPTEN_KEEPALIVE int qc_forget_card(int index) {
  clear_call();
  Pane& p = pane(index);
  p.state = CardState{};
  p.slots = SlotTable{};
  p.history.start(p.state);
  return done();
}

EMSCRIPTEN_KEEPALIVE int qc_open_card(int index, const char* name, const uint8_t* bytes, int size) {
  clear_call();
  Pane& p = pane(index);
  auto card = std::make_unique<CardImage>();
  CardFileInfo info;
  if (Failure failure = decode_card_file(file_of(bytes, size), *card, info)) return refused(failure);
  p.state = CardState{};
  p.state.card = *card;
  p.state.file_path = name;
  p.state.file = info;
  notice = info.notice;
  return replaced(p);
}

EMSCRIPTEN_KEEPALIVE int qc_set_allow_corrupted(int index, int allow) {
  clear_call();
  Pane& p = pane(index);
  p.allow_corrupted = allow != 0;
  if (!is_loaded(p.state.card)) return done();
  const Failure failure = analyse(p);
  return failure ? refused(failure) : done();
}

EMSCRIPTEN_KEEPALIVE int qc_delete_save(int index, int slot) {
  clear_call();
  Pane& p = pane(index);
  if (Failure failure = require_card(p)) return refused(failure);
  if (!valid_slot(slot)) return refused("No save selected.");
  const int save = selected_save(p.slots, slot);
  if (save < 0 || p.slots.status[save] == kSlotEmpty) return refused(fail("Empty Block !"));
  delete_save(p.state.card, save);
  return changed(p);
}

EMSCRIPTEN_KEEPALIVE int qc_restore_save(int index, int slot) {
  clear_call();
  Pane& p = pane(index);
  if (Failure failure = require_card(p)) return refused(failure);
  if (!valid_slot(slot)) return refused("No save selected.");
  if (Failure failure = undelete_save(p.state.card, slot)) return refused(failure);
  return changed(p);
}

EMSCRIPTEN_KEEPALIVE int qc_undo(int index) {
  clear_call();
  Pane& p = pane(index);
  return take_from_history(p, p.history.undo(), "Nothing to undo.");
}

EMSCRIPTEN_KEEPALIVE int qc_redo(int index) {
  clear_call();
  Pane& p = pane(index);
  return take_from_history(p, p.history.redo(), "Nothing to redo.");
}

// Every fault of the card, as "Check Card..." and "check" tell them.
EMSCRIPTEN_KEEPALIVE int qc_check(int index) {
  clear_call();
  Pane& p = pane(index);
  if (Failure failure = require_card(p)) return refused(failure);
  JsonWriter json;
  json.field("report", check_report(check_card_file(p.state.card, p.state.file)));
  result = json.text();
  return done();
}

// What a save file holds before it is imported: whether it must be named,
// the name its file name holds, whether it is cut short of a block.
EMSCRIPTEN_KEEPALIVE int qc_probe_save(const char* name, const uint8_t* bytes, int size) {
  clear_call();
  const FilePrefix file = file_of(bytes, size);
  if (Failure failure = check_long_enough(file)) return refused(failure);
  const SaveFormat format = save_file_format(file);
  const bool ragged = format == SaveFormat::raw && !check_raw_header(file) && !raw_is_whole_blocks(file);
  ImportQuestions questions;
  questions.import_ragged_file = [] { return true; };
  questions.notice = [](const std::string& text) { notice = text; };
  SaveImport save;
  bool taken = false;
  if (Failure failure = take_save_file(file, questions, save, taken))
    return refused(name_ps2_container(name, failure));
  JsonWriter json;
  json.field("format", save_format_name(format));
  json.field("ragged", ragged);
  json.field("needs_name", save_needs_name(format, save));
  json.field("suggested_name", save_name_in_file_name(name));
  json.field("blocks", save.blocks);
  result = json.text();
  return done();
}

// The import the button makes: `ragged_yes` answers the question about a
// file cut short, `given_name` names a save whose file holds none.
EMSCRIPTEN_KEEPALIVE int qc_import_save(int index, const char* name, const uint8_t* bytes, int size, int ragged_yes,
                                        const char* given_name) {
  clear_call();
  Pane& p = pane(index);
  if (Failure failure = require_card(p)) return refused(failure);
  const std::string named = given_name;
  ImportQuestions questions;
  questions.import_ragged_file = [ragged_yes] { return ragged_yes != 0; };
  questions.name_raw_save = [named] { return named; };
  questions.notice = [](const std::string& text) { notice = text; };
  bool imported = false;
  const Failure failure = import_save_file(file_of(bytes, size), p.state.card, p.slots.used, questions, imported);
  if (failure) return refused(name_ps2_container(name, failure));
  if (!imported) return refused("Nothing imported.");
  return changed(p);
}

// A save as a file of the format named (mcs, psx, psv, raw); its name as
// "export --all" names it in qc_result's "name".
EMSCRIPTEN_KEEPALIVE int qc_export_save(int index, int slot, const char* format_name) {
  clear_call();
  Pane& p = pane(index);
  if (Failure failure = require_card(p)) return refused(failure);
  if (Failure failure = refuse_partial(p)) return refused(failure);
  int save = -1;
  if (Failure failure = selected_save_of(p, slot, save)) return refused(failure);
  if (Failure failure = check_exportable(p.slots, save, p.allow_corrupted)) return refused(failure);
  const SaveFormat format = save_format_named(format_name).value_or(SaveFormat::mcs);
  if (Failure failure = export_save(p.state.card, save, format, output)) return refused(failure);
  JsonWriter json;
  json.field("name", exported_file_name(p.state.card, save, format));
  result = json.text();
  return done();
}

// The card as a file of the format named (raw, gme, vgs, vmp); a VMP signed.
EMSCRIPTEN_KEEPALIVE int qc_encode_card(int index, const char* format_name) {
  clear_call();
  Pane& p = pane(index);
  if (Failure failure = require_card(p)) return refused(failure);
  if (Failure failure = refuse_partial(p)) return refused(failure);
  CardFileInfo file = p.state.file;
  file.format = writable_card_format(format_name).value_or(CardFormat::raw);
  if (comments_lost(p.state.card, p.state.file, file.format)) notice = kCommentsNotKept;
  if (Failure failure = encode_card_file(p.state.card, file, output)) return refused(failure);
  return done();
}

EMSCRIPTEN_KEEPALIVE int qc_icon_picture(int index, int slot, int side, const char* format_name) {
  clear_call();
  Pane& p = pane(index);
  if (Failure failure = require_card(p)) return refused(failure);
  int save = -1;
  if (Failure failure = selected_save_of(p, slot, save)) return refused(failure);
  IconPicture picture;
  if (Failure failure = make_icon_picture(p.state.card, p.slots, save, side, picture)) return refused(failure);
  const PictureFormat format = std::string(format_name) == "gif" ? PictureFormat::gif : PictureFormat::png;
  if (Failure failure = encode_picture(picture, format, output)) return refused(failure);
  return done();
}

// The save in `slot` of one card copied into the other, as import places it.
EMSCRIPTEN_KEEPALIVE int qc_copy_save(int from, int slot, int to) {
  clear_call();
  Pane& source = pane(from);
  Pane& target = pane(to);
  if (Failure failure = require_card(source)) return refused(failure);
  if (Failure failure = require_card(target)) return refused(failure);
  if (Failure failure = refuse_partial(source)) return refused(failure);
  int save = -1;
  if (Failure failure = selected_save_of(source, slot, save)) return refused(failure);
  if (Failure failure = check_exportable(source.slots, save, source.allow_corrupted)) return refused(failure);
  SaveImport copied;
  if (Failure failure = take_save(source.state.card, save, copied)) return refused(failure);
  int first = -1;
  if (Failure failure = place_copy(copied, comment_of(source.state.card, source.state.file, save), target.state.card,
                                   target.state.file, target.slots.used, first))
    return refused(failure);
  JsonWriter json;
  json.field("slot", first);
  result = json.text();
  return changed(target);
}

// The reader the jobs use: 0 the PS3 adaptor (WebUSB), 1 a MemCARDuino, 2 a
// DexDrive, 3 PS1CardLink (Web Serial, the port the page was given).
EMSCRIPTEN_KEEPALIVE int qc_use_reader(int kind, int slot, int baud) {
  clear_call();
  ReaderChoice choice;
  const ReaderKind kinds[] = {ReaderKind::ps3, ReaderKind::memcarduino, ReaderKind::dexdrive, ReaderKind::ps1cardlink};
  choice.kind = kinds[std::clamp(kind, 0, 3)];
  if (choice.kind != ReaderKind::ps3) choice.port = kChosenSerialPort;
  choice.slot = slot == 2 ? 2 : 1;
  choice.baud = choice.kind == ReaderKind::memcarduino ? baud : 0;
  use_reader(choice);
  return done();
}

// "Read from PS3MCA": the whole card or its directory and icons, into the
// card in memory only when every frame came.
EMSCRIPTEN_KEEPALIVE int qc_read_card(int index, int fast) {
  clear_call();
  Pane& p = pane(index);
  if (Failure failure = open_reader()) return refused(failure);
  auto card = std::make_unique<CardImage>(p.state.card);
  if (Failure failure = read_card(*card, fast != 0, [](int position) {
        if (position != kProgressEnd) web_progress("reading", position, kFrameCount);
      }))
    return refused(failure);
  if (halves_mirror(*card, fast ? kSaveHeadFrames : kFramesPerBlock)) notice = kHalvesMirrorMeaning;
  p.state = CardState{};
  p.state.card = *card;
  p.state.partial = fast != 0;
  p.state.snapshot_valid = true;
  p.snapshot = *card;
  return replaced(p);
}

// "Write to PS3MCA" as "write" makes it: the card read first and kept with
// the backups in the browser's storage, then only the frames that differ
// (or all with `all`), the directory last, read back. qc_result's "backup"
// names the backup; "written" and "verified" count the frames.
EMSCRIPTEN_KEEPALIVE int qc_write_card(int index, int all) {
  clear_call();
  Pane& p = pane(index);
  if (Failure failure = require_card(p)) return refused(failure);
  if (Failure failure = refuse_partial(p)) return refused(failure);
  if (Failure failure = open_reader()) return refused(failure);
  SyncOrders orders;
  orders.all = all != 0;
  std::string backup;
  const BeforeWriting back_up = [&backup](const CardImage& on_card, const std::vector<int>& frames) -> Failure {
    if (halves_mirror(on_card)) notice = kHalvesMirrorMeaning;
    if (frames.empty()) return std::nullopt;
    if (Failure failure = write_backup(on_card, backup)) return failure;
    if (!web_persist_backups())
      return fail("Cannot keep the backup in the browser's storage. Nothing was written to the card.");
    return std::nullopt;
  };
  SyncReport report;
  const Failure failure = sync_card(p.state.card, orders, back_up,
                                    [](SyncStep step, int done, int total) { web_progress(sync_step_name(step), done, total); },
                                    report);
  JsonWriter json;
  json.field("backup", backup);
  json.field("written", int(report.written.size()));
  json.field("verified", int(report.verified.size()));
  result = json.text();
  if (failure) return refused(failure);
  p.snapshot = p.state.card;
  p.state.snapshot_valid = true;
  p.history.start(p.state);
  return done();
}

// The backups of the real card, newest first.
EMSCRIPTEN_KEEPALIVE int qc_backups() {
  clear_call();
  std::string folder;
  if (Failure failure = backup_folder(folder)) return refused(failure);
  JsonWriter json;
  json.field("folder", folder);
  json.begin_array("backups");
  for (const Backup& backup : list_backups(folder)) {
    json.begin_object();
    json.field("path", backup.path);
    json.field("taken", backup.taken);
    auto card = std::make_unique<CardImage>();
    bool opened = false;
    Failure failure = read_card_file(backup.path, *card, opened);
    SlotTable slots;
    if (!failure) failure = analyse_card(*card, slots, false);
    json.field("used", failure ? failure->text : std::to_string(slots.used) + "/15");
    json.end_object();
  }
  json.end_array();
  result = json.text();
  return done();
}

// A backup's bytes, to open or to download.
EMSCRIPTEN_KEEPALIVE int qc_file_bytes(const char* path) {
  clear_call();
  FilePrefix file;
  if (Failure failure = read_file_prefix(path, kLargestCardFile, file)) return refused(failure);
  output = file.bytes;
  return done();
}

}  // extern "C"
