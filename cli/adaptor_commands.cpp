// The verbs on the card in a reader (the PS3 adaptor, or a serial reader
// named by --reader): the window's reads, a write that backs the card up
// first and checks what it wrote, and the list of serial ports.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "adaptor/adaptor_link.h"
#include "adaptor/card_sync.h"
#include "adaptor/serial_port.h"
#include "adaptor/transfer_jobs.h"
#include "card/card_check.h"
#include "cli/card_files.h"
#include "cli/commands.h"
#include "cli/terminal.h"
#include "files/backups.h"
#include "files/card_file.h"

namespace {

#if defined(__linux__)
// libusb lists the adaptor but may not open its device node: by default
// only root may. The rule gives the user at the computer access to it.
const char kNoAccess[] =
    "The PS3 memory card adaptor is plugged in, but this user may not open it.\n"
    "The udev rule 70-ps3-memory-card-adaptor.rules lets the user logged in at the\n"
    "computer use it. The quillcrest-cli package installs it in /usr/lib/udev/rules.d/;\n"
    "from the source, install it with:\n"
    "  sudo install -m 644 cli/udev/70-ps3-memory-card-adaptor.rules /etc/udev/rules.d/\n"
    "  sudo udevadm control --reload-rules\n"
    "Once the rule is installed, unplug the adaptor and plug it in again.";
#endif

// The window keeps saying "No PS1 Memory Card Detected."; here the
// adaptor's own answer is told.
const char kPs2CardReported[] =
    "The adaptor reports a PS2 memory card in its slot, or a PS1 card it does not recognise "
    "(some third-party cards and adaptors answer so).";

// A card that answers nothing on a MemCARDuino may be one it cannot power.
const char kMemcarduinoNoCard[] =
    "\nThe MemCARDuino powers the card from 3.3 V: some third-party cards need the 7.6 V line too "
    "and answer nothing without it.";

Failure connect() {
  if (current_reader().kind != ReaderKind::ps3) return open_reader();
  Failure failure = open_adaptor();
#if defined(__linux__)
  if (failure && adaptor_access_refused()) return fail(kNoAccess);
#endif
  return failure;
}

Failure in_words(Failure failure) {
  if (!failure) return failure;
  const ReaderKind kind = current_reader().kind;
  if (kind == ReaderKind::ps3 && adaptor_reported_ps2_card()) failure->text = kPs2CardReported;
  if (kind == ReaderKind::memcarduino && failure->text == "No PS1 Memory Card Detected.")
    failure->text += kMemcarduinoNoCard;
  return failure;
}

void warn_if_half_size(const CardImage& card, int frames_per_block) {
  if (halves_mirror(card, frames_per_block)) std::fprintf(stderr, "Warning: %s\n", kHalvesMirrorMeaning);
}

// The steps' names padded to one width, so that their bars line up.
std::string step_name(SyncStep step) {
  std::string name = sync_step_name(step);
  name.resize(std::max(name.size(), std::strlen("verifying")), ' ');
  return name;
}

std::string frames_text(size_t count) {
  return std::to_string(count) + (count == 1 ? " frame" : " frames");
}

std::string frame_list(const std::vector<int>& frames) {
  std::string text;
  for (size_t i = 0; i < frames.size(); ++i) text += (i ? "," : "") + std::to_string(frames[i]);
  return text;
}

std::string usb_ids(const SerialPortInfo& port) {
  if (port.vendor < 0) return "-";
  char ids[16];
  std::snprintf(ids, sizeof ids, "%04x:%04x", unsigned(port.vendor & 0xFFFF), unsigned(port.product & 0xFFFF));
  return ids;
}

// The reader answering on the port, as --reader names it, or why none does:
// "no reader answers", or what stopped a reader that is there (a port this
// user may not open, the DexDrive's N64 model).
std::string probe(const std::string& port) {
  std::string stopped;
  // PS1CardLink first: at its one speed, which a MemCARDuino's first is too,
  // before the other readers' speeds send the console noise.
  for (ReaderKind kind : {ReaderKind::ps1cardlink, ReaderKind::memcarduino, ReaderKind::dexdrive}) {
    ReaderChoice choice;
    choice.kind = kind;
    choice.port = port;
    use_reader(choice);
    const Failure failure = open_reader();
    if (!failure) {
      const std::string found = reader_found();
      use_reader(ReaderChoice{});  // lets the port go
      return reader_text(choice) + (found.empty() ? "" : " (" + found + ")");
    }
    if (failure->text.compare(0, 3, "No ") != 0) stopped = failure->text;
  }
  use_reader(ReaderChoice{});
  return stopped.empty() ? "no reader answers" : stopped;
}

}  // namespace

int choose_reader(const Arguments& arguments) {
  std::optional<std::string> text = arguments.value("--reader");
  const char* from_environment = std::getenv("QUILLCREST_READER");
  if (!text && from_environment && *from_environment) text = from_environment;
  if (!text) return kDone;
  const std::optional<ReaderChoice> choice = parse_reader(*text);
  if (!choice)
    return usage_error(std::string(arguments.value("--reader") ? "--reader" : "QUILLCREST_READER") +
                       " takes " + kReaderForms + ", not '" + *text + "'");
  use_reader(*choice);
  return kDone;
}

int readers_command(const Arguments& arguments) {
  std::vector<SerialPortInfo> ports;
  for (const std::string& name : arguments.operands) ports.push_back(SerialPortInfo{name, -1, -1, ""});
  if (arguments.operands.empty()) ports = list_serial_ports();
  if (ports.empty()) std::fprintf(stderr, "No serial port found.\n");
  for (const SerialPortInfo& port : ports) {
    std::string line = port.name + "\t" + usb_ids(port) + "\t" + (port.description.empty() ? "-" : port.description);
    if (arguments.has("--probe")) line += "\t" + probe(port.name);
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
  }
  return kDone;
}

Failure read_from_adaptor(bool fast, CardImage& card) {
  if (Failure failure = connect()) return failure;
  ProgressBar bar;
  const char* step = fast ? "fast read" : "reading";
  return in_words(read_card(card, fast, [&bar, step](int position) {
    if (position != kProgressEnd) bar.show(step, position, kFrameCount);
  }));
}

int list_adaptor_card(const Arguments& arguments) {
  auto card = std::make_unique<CardImage>();
  if (Failure failure = read_from_adaptor(true, *card)) return report_failure(failure);
  warn_if_half_size(*card, kSaveHeadFrames);
  auto slots = std::make_unique<SlotTable>();
  if (Failure failure = analyse_card(*card, *slots, arguments.has("--allow-corrupted")))
    return report_failure(failure);
  return print_listing(arguments, *card, *slots);
}

int read_command(const Arguments& arguments) {
  if (int wrong = choose_reader(arguments)) return wrong;
  auto card = std::make_unique<CardImage>();
  if (Failure failure = read_from_adaptor(false, *card)) return report_failure(failure);
  warn_if_half_size(*card, kFramesPerBlock);
  const std::string& out = arguments.operands[0];
  CardFileInfo file;
  file.format = card_format_for_path(out);  // read SCEVMC0.VMP makes a card a PSP takes
  if (Failure failure = write_card_file(out, *card, file)) return report_failure(failure, out);
  // The file holds the card byte for byte whatever it is; the analysis only
  // tells the user what it holds.
  auto slots = std::make_unique<SlotTable>();
  if (Failure failure = analyse_card_copy(*card, *slots, false)) {
    std::fprintf(stderr, "%s\n", failure->text.c_str());
    std::printf("Read the card into %s; it holds no formatted memory card.\n", out.c_str());
  } else {
    std::printf("Read the card into %s (%d/15).\n", out.c_str(), slots->used);
  }
  return kDone;
}

int write_command(const Arguments& arguments) {
  if (int wrong = choose_reader(arguments)) return wrong;
  auto card = std::make_unique<CardImage>();
  auto slots = std::make_unique<SlotTable>();
  const std::string& path = arguments.operands[0];
  CardFileInfo file;
  if (Failure failure = read_card_file_telling(path, *card, file)) return report_failure(failure, path);
  // An unformatted card, or one "corrupted" on purpose, goes to the card
  // byte for byte, as "read" took it: a backup must come back whatever it
  // holds. The analysis only tells.
  if (Failure failure = analyse_card_copy(*card, *slots, false))
    std::fprintf(stderr, "%s holds no formatted memory card (%s): it is written as it is.\n", path.c_str(),
                 failure->text.c_str());
  SyncOrders orders;
  orders.all = arguments.has("--all");
  orders.verify = !arguments.has("--no-verify");
  const bool backup = !arguments.has("--no-backup");
  orders.read_first = backup;
  if (!backup)
    std::fprintf(stderr, "No backup: what the card holds now cannot be restored after this write.\n");
  return write_to_reader(*card, path, orders, backup);
}

int write_to_reader(const CardImage& card, const std::string& path, const SyncOrders& orders, bool backup,
                    std::FILE* messages) {
  if (Failure failure = connect()) return report_failure(failure);
  SyncReport report;
  Failure failure;
  {
    ProgressBar bar;
    // What the card held goes to a backup before the first frame is sent; a
    // backup that cannot be written stops the write there.
    const BeforeWriting back_up = [&](const CardImage& on_card, const std::vector<int>& frames) -> Failure {
      bar.clear();
      warn_if_half_size(on_card, kFramesPerBlock);
      if (!backup || frames.empty()) return std::nullopt;
      std::string backup_path;
      if (Failure failure = write_backup(on_card, backup_path)) return failure;
      std::fprintf(messages, "Backed up the card into %s.\n", backup_path.c_str());
      std::fflush(messages);
      return std::nullopt;
    };
    failure = in_words(sync_card(
        card, orders, back_up,
        [&bar](SyncStep step, int done, int total) { bar.show(step_name(step).c_str(), done, total); }, report));
  }
  if (failure) {
    report_failure(failure);
    if (report.mismatched.empty())
      std::fprintf(stderr, "%s %s written before it stopped%s%s.\n",
                   frames_text(report.written.size()).c_str(), report.written.size() == 1 ? "was" : "were",
                   report.written.empty() ? "" : ": ", frame_list(report.written).c_str());
    return kFailed;
  }
  if (report.written.empty())
    std::fprintf(messages, "The card already holds %s: nothing written.\n", path.c_str());
  else if (orders.verify)
    std::fprintf(messages, "Wrote %s, verified %d.\n", frames_text(report.written.size()).c_str(),
                 int(report.verified.size()));
  else
    std::fprintf(messages, "Wrote %s, not verified.\n", frames_text(report.written.size()).c_str());
  return kDone;
}
