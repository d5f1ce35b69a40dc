// The verbs on whole card image files: what the window's file commands do.
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "card/editing.h"
#include "cli/card_files.h"
#include "cli/commands.h"
#include "cli/listing.h"
#include "files/card_file.h"
#include "files/save_file.h"

int print_listing(const Arguments& arguments, const CardImage& card, const SlotTable& slots,
                  const ListedFile* file) {
  const std::string listing =
      arguments.has("--json") ? slot_json(card, slots, file) : slot_lines(card, slots);
  std::fputs(listing.c_str(), stdout);
  return kDone;
}

namespace {

// A file that is no card image may be a single save: its summary, or the
// card's failure when it is neither.
int list_save_file(const Arguments& arguments, const std::string& path, const Failure& as_card) {
  FilePrefix file;
  if (read_save_file(path, file) || !looks_like_save_file(file)) return report_failure(as_card, path);
  SaveFileSummary summary;
  if (Failure failure = summarise_save_file(file, path, summary)) return report_failure(failure, path);
  if (!summary.notice.empty()) std::fprintf(stderr, "Warning: %s: %s\n", path.c_str(), summary.notice.c_str());
  const std::string listing = arguments.has("--json") ? save_file_json(summary) : save_file_lines(summary);
  std::fputs(listing.c_str(), stdout);
  return kDone;
}

}  // namespace

int list_card_file(const Arguments& arguments) {
  const std::string& path = arguments.operands[0];
  auto open = std::make_unique<OpenCard>();
  if (Failure failure = read_card_file_telling(path, open->card, open->file))
    return list_save_file(arguments, path, failure);
  if (Failure failure = analyse_open_card(path, arguments.has("--allow-corrupted"), *open, true))
    return report_failure(failure, path);
  auto listed = std::make_unique<ListedFile>();
  listed->format = card_format_name(open->file.format);
  for (int slot = 0; slot < kSlotCount; ++slot)
    listed->comments[slot] = comment_of(open->card, open->file, slot);
  return print_listing(arguments, open->card, open->slots, listed.get());
}

int delete_save_command(const Arguments& arguments) {
  const std::optional<int> slot = parse_slot(arguments.operands[1]);
  if (!slot) return usage_error("SLOT must be a number from 1 to 15");
  const std::string& card_path = arguments.operands[0];
  auto open = std::make_unique<OpenCard>();
  if (Failure failure = open_card_file(card_path, false, *open)) return report_failure(failure, card_path);
  const int save = selected_save(open->slots, *slot);
  if (save < 0) return report_failure(fail("No save selected."), card_path);
  const int status = open->slots.status[save];
  if (status == kSlotEmpty) return report_failure(fail("Empty Block !"), card_path);
  const std::string name = save_name(open->card, save);
  delete_save(open->card, save);
  std::string out;
  if (Failure failure = write_changed_card(arguments, card_path, *open, out)) return report_failure(failure, out);
  if (status > 0)
    std::printf("Deleted slot %d (%s, %s) from %s.\n", save + 1, name.c_str(),
                blocks_text(status).c_str(), out.c_str());
  else
    std::printf("Deleted the corrupted block in slot %d from %s.\n", save + 1, out.c_str());
  return kDone;
}

int format_command(const Arguments& arguments) {
  auto card = std::make_unique<CardImage>();
  format_card(*card);
  const std::string& out = arguments.operands[0];
  CardFileInfo file;
  file.format = card_format_for_path(out);
  if (Failure failure = write_card_file(out, *card, file)) return report_failure(failure, out);
  std::printf("Wrote an empty card to %s.\n", out.c_str());
  return kDone;
}

int convert_command(const Arguments& arguments) {
  const std::string& in = arguments.operands[0];
  const std::string& out = arguments.operands[1];
  auto open = std::make_unique<OpenCard>();
  const std::optional<CardFormat> format = output_card_format(arguments, out, "", open->file);
  if (!format) return usage_error(kCardFormats);
  if (Failure failure = open_card_file(in, arguments.has("--allow-corrupted"), *open, true))
    return report_failure(failure, in);
  // What the file held goes out byte for byte, whatever the analysis made of it.
  warn_if_comments_lost(open->card, open->file, *format);
  open->file.format = *format;
  if (Failure failure = write_card_file(out, open->card, open->file)) return report_failure(failure, out);
  std::printf("Wrote %s as a %s card image to %s (%d/15).\n", in.c_str(), card_format_text(*format),
              out.c_str(), open->slots.used);
  return kDone;
}
