// The verbs on card image files: what the window's file and save commands do.
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "card/editing.h"
#include "card/slot_text.h"
#include "cli/commands.h"
#include "cli/listing.h"
#include "cli/text_utf8.h"
#include "files/card_file.h"
#include "files/save_file.h"

namespace {

// The window holds one card and one table; so does each command.
struct OpenCard {
  CardImage card;
  SlotTable slots;
};

std::string blocks_text(int blocks) {
  return std::to_string(blocks) + (blocks == 1 ? " block" : " blocks");
}

std::string save_name(const CardImage& card, int slot) {
  return latin1_to_utf8(name_caption(card, slot));
}

int first_free_slot(const CardImage& card) {
  for (int slot = 0; slot < kSlotCount; ++slot)
    if (DirectoryFrame{directory_frame(card, slot)}.is_free()) return slot;
  return -1;
}

}  // namespace

std::optional<int> parse_slot(const std::string& text) {
  if (text.empty() || text.size() > 2 || text.find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  const int slot = std::stoi(text);
  if (slot < 1 || slot > kSlotCount) return std::nullopt;
  return slot - 1;
}

Failure open_card(const std::string& path, bool allow_corrupted, CardImage& card, SlotTable& slots) {
  bool opened = false;
  if (Failure failure = read_card_file(path, card, opened)) return failure;
  return analyse_card(card, slots, allow_corrupted);
}

int print_listing(const Arguments& arguments, const CardImage& card, const SlotTable& slots) {
  const std::string listing = arguments.has("--json") ? slot_json(card, slots) : slot_lines(card, slots);
  std::fputs(listing.c_str(), stdout);
  return kDone;
}

int list_card_file(const Arguments& arguments) {
  auto open = std::make_unique<OpenCard>();
  if (Failure failure = open_card(arguments.operands[0], arguments.has("--allow-corrupted"),
                                  open->card, open->slots))
    return report_failure(failure);
  return print_listing(arguments, open->card, open->slots);
}

int export_save_command(const Arguments& arguments) {
  const std::optional<int> slot = parse_slot(arguments.operands[1]);
  if (!slot) return usage_error("SLOT must be a number from 1 to 15");
  const bool allow_corrupted = arguments.has("--allow-corrupted");
  auto open = std::make_unique<OpenCard>();
  if (Failure failure = open_card(arguments.operands[0], allow_corrupted, open->card, open->slots))
    return report_failure(failure);
  // A further block of a save stands for the save, as a click on it does.
  const int save = selected_save(open->slots, *slot);
  if (save < 0) return report_failure(fail("No save selected."));
  if (Failure failure = check_exportable(open->slots, save, allow_corrupted))
    return report_failure(failure);
  std::vector<uint8_t> mcs;
  if (Failure failure = export_save(open->card, save, mcs)) return report_failure(failure);
  const std::string& out = arguments.operands[2];
  if (Failure failure = write_file_replacing(out, mcs.data(), mcs.size()))
    return report_failure(failure);
  std::printf("Exported slot %d (%s, %s) to %s.\n", save + 1, save_name(open->card, save).c_str(),
              blocks_text(int(mcs.size() / kBlockSize)).c_str(), out.c_str());
  return kDone;
}

int import_save_command(const Arguments& arguments) {
  const std::optional<std::string> name = arguments.value("--name");
  if (name && (name->empty() || name->size() > kSaveNameMax))
    return usage_error("--name takes a save file name of 1 to 20 characters");
  const std::string& card_path = arguments.operands[0];
  const std::string out = arguments.value("--output").value_or(card_path);
  auto open = std::make_unique<OpenCard>();
  if (Failure failure = open_card(card_path, false, open->card, open->slots))
    return report_failure(failure);
  FilePrefix file;
  if (Failure failure = read_save_file(arguments.operands[1], file)) return report_failure(failure);

  ImportQuestions questions;
  bool needed_name = false;
  questions.import_ragged_file = [&] {
    if (arguments.has("--yes")) return true;
    std::fprintf(stderr,
                 "Binary File is not multiple of 8k !\nDo you want to import it anyway ?\n"
                 "Answered No (give --yes to answer Yes): nothing imported.\n");
    return false;
  };
  questions.name_raw_save = [&] {
    needed_name = !name;
    return name.value_or("");
  };
  const int first = first_free_slot(open->card);
  bool imported = false;
  if (Failure failure = import_save_file(file, open->card, open->slots.used, questions, imported))
    return report_failure(failure);
  if (!imported) {
    if (needed_name)
      std::fprintf(stderr,
                   "A raw save file carries no save name: give it with --name, for example "
                   "--name BASLUS-00000GAME.\n");
    return kFailed;
  }
  if (Failure failure = write_card_file(out, open->card)) return report_failure(failure);
  const int blocks = int(read_le32(directory_frame(open->card, first) + kDirSize) / kBlockSize);
  std::printf("Imported %s (%s) into slot %d of %s.\n", save_name(open->card, first).c_str(),
              blocks_text(blocks).c_str(), first + 1, out.c_str());
  return kDone;
}

int delete_save_command(const Arguments& arguments) {
  const std::optional<int> slot = parse_slot(arguments.operands[1]);
  if (!slot) return usage_error("SLOT must be a number from 1 to 15");
  const std::string& card_path = arguments.operands[0];
  const std::string out = arguments.value("--output").value_or(card_path);
  auto open = std::make_unique<OpenCard>();
  if (Failure failure = open_card(card_path, false, open->card, open->slots))
    return report_failure(failure);
  const int save = selected_save(open->slots, *slot);
  if (save < 0) return report_failure(fail("No save selected."));
  const int status = open->slots.status[save];
  if (status == kSlotEmpty) return report_failure(fail("Empty Block !"));
  const std::string name = save_name(open->card, save);
  delete_save(open->card, save);
  if (Failure failure = write_card_file(out, open->card)) return report_failure(failure);
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
  if (Failure failure = write_card_file(out, *card)) return report_failure(failure);
  std::printf("Wrote an empty card to %s.\n", out.c_str());
  return kDone;
}

int convert_command(const Arguments& arguments) {
  auto open = std::make_unique<OpenCard>();
  if (Failure failure = open_card(arguments.operands[0], false, open->card, open->slots))
    return report_failure(failure);
  const std::string& out = arguments.operands[1];
  if (Failure failure = write_card_file(out, open->card)) return report_failure(failure);
  std::printf("Wrote %s as a raw card image to %s (%d/15).\n", arguments.operands[0].c_str(),
              out.c_str(), open->slots.used);
  return kDone;
}
