// The verbs that move single saves between card files and save files, or
// from one card file to another: what the window's import and export do.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "card/editing.h"
#include "cli/card_files.h"
#include "cli/commands.h"
#include "files/file_io.h"
#include "files/save_copy.h"
#include "files/save_file.h"

namespace {

const char kSaveFormats[] = "--format takes mcs, psx, psv or raw";

std::optional<SaveFormat> output_save_format(const Arguments& arguments, const std::string& out) {
  if (const std::optional<std::string> named = arguments.value("--format"))
    return save_format_named(*named);
  return save_format_for_path(out);
}

std::string inside(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  const char last = folder.back();
  return last == '/' || last == '\\' ? folder + name : folder + "/" + name;
}

// A name no other save of this run took: "NAME_2.mcs" after "NAME.mcs".
std::string unused_name(const std::string& name, std::set<std::string>& taken) {
  std::string candidate = name;
  const size_t dot = name.find_last_of('.');
  const std::string stem = dot == std::string::npos ? name : name.substr(0, dot);
  const std::string extension = dot == std::string::npos ? "" : name.substr(dot);
  for (int n = 2; taken.count(candidate); ++n) candidate = stem + "_" + std::to_string(n) + extension;
  taken.insert(candidate);
  return candidate;
}

int export_all(const Arguments& arguments, OpenCard& open) {
  const std::string& folder = arguments.operands[1];
  const std::optional<SaveFormat> format =
      save_format_named(arguments.value("--format").value_or("mcs"));
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  std::set<std::string> taken;
  int exported = 0;
  for (int slot = 0; slot < kSlotCount; ++slot) {
    if (open.slots.status[slot] <= 0) continue;
    const std::string file_name = unused_name(exported_file_name(open.card, slot, *format), taken);
    std::vector<uint8_t> bytes;
    const std::string out = inside(folder, file_name);
    // Each file is named from its save, so its path tells which failed.
    Failure failure = export_save(open.card, slot, *format, bytes);
    if (!failure) failure = write_file_replacing(out, bytes.data(), bytes.size());
    if (failure) return report_failure(failure, out);
    std::printf("Exported slot %d (%s, %s) to %s.\n", slot + 1, save_name(open.card, slot).c_str(),
                blocks_text(open.slots.status[slot]).c_str(), out.c_str());
    ++exported;
  }
  if (exported == 0) std::printf("The card holds no save: nothing exported.\n");
  return kDone;
}

const char kRaggedAnsweredNo[] =
    "Binary File is not multiple of 8k !\nDo you want to import it anyway ?\n"
    "Answered No (give --yes to answer Yes): nothing imported.";

// The import's question, answered from the command line; `declined` tells
// that it was answered No.
ImportQuestions questions_of(const Arguments& arguments, bool& declined) {
  ImportQuestions questions;
  questions.import_ragged_file = [&arguments, &declined] {
    declined = !arguments.has("--yes");
    return !declined;
  };
  questions.notice = [](const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); };
  return questions;
}

}  // namespace

int export_save_command(const Arguments& arguments) {
  const bool all = arguments.has("--all");
  if (arguments.operands.size() != (all ? 2u : 3u))
    return usage_error(all ? "export --all takes a CARD and a FOLDER" : "export takes a CARD, a SLOT and an OUT file");
  if (arguments.value("--format") && !save_format_named(*arguments.value("--format")))
    return usage_error(kSaveFormats);
  const std::optional<int> slot = all ? 0 : parse_slot(arguments.operands[1]);
  if (!slot) return usage_error("SLOT must be a number from 1 to 15");
  const bool allow_corrupted = arguments.has("--allow-corrupted");
  auto open = std::make_unique<OpenCard>();
  const std::string& card_path = arguments.operands[0];
  if (Failure failure = open_card_file(card_path, allow_corrupted, *open, true))
    return report_failure(failure, card_path);
  if (all) return export_all(arguments, *open);

  // A further block of a save stands for the save, as a click on it does.
  const int save = selected_save(open->slots, *slot);
  if (save < 0) return report_failure(fail("No save selected."), card_path);
  if (Failure failure = check_exportable(open->slots, save, allow_corrupted))
    return report_failure(failure, card_path);
  const std::string& out = arguments.operands[2];
  std::vector<uint8_t> bytes;
  const SaveFormat format = *output_save_format(arguments, out);
  if (Failure failure = export_save(open->card, save, format, bytes))
    return report_failure(failure, card_path);
  if (Failure failure = write_file_replacing(out, bytes.data(), bytes.size()))
    return report_failure(failure, out);
  // Every header is shorter than a block.
  std::printf("Exported slot %d (%s, %s) to %s.\n", save + 1, save_name(open->card, save).c_str(),
              blocks_text(int(bytes.size() / kBlockSize)).c_str(), out.c_str());
  return kDone;
}

int import_save_command(const Arguments& arguments) {
  const std::optional<std::string> name = arguments.value("--name");
  if (name && (name->empty() || name->size() > kSaveNameMax))
    return usage_error("--name takes a save file name of 1 to 20 characters");
  const std::string& card_path = arguments.operands[0];
  const std::string& save_path = arguments.operands[1];
  auto open = std::make_unique<OpenCard>();
  if (Failure failure = open_card_file(card_path, false, *open)) return report_failure(failure, card_path);
  FilePrefix file;
  if (Failure failure = read_save_file(save_path, file)) return report_failure(failure, save_path);

  bool declined = false;
  SaveImport save;
  bool taken = false;
  if (Failure failure = take_save_file(file, questions_of(arguments, declined), save, taken))
    return report_failure(name_ps2_container(save_path, failure), save_path);
  if (!taken) return report_failure(fail(kRaggedAnsweredNo), save_path);
  // A raw save's file is often named after the save.
  bool named_by_file = false;
  if (save_needs_name(save_file_format(file), save)) {
    const std::string given = name.value_or(save_name_in_file_name(save_path));
    if (given.empty())
      return report_failure(fail("This save file carries no save name: give it with --name, for example "
                                 "--name BASLUS-00000GAME."),
                            save_path);
    named_by_file = !name;
    name_raw_save(save, given);
  }
  const int first = first_free_slot(open->card);
  if (Failure failure = import_save(open->card, open->slots.used, save))
    return report_failure(failure, card_path);
  std::string out;
  if (Failure failure = write_changed_card(arguments, card_path, *open, out)) return report_failure(failure, out);
  std::printf("Imported %s (%s%s) into slot %d of %s.\n", save_name(open->card, first).c_str(),
              blocks_text(save.blocks).c_str(), named_by_file ? ", named after its file" : "", first + 1,
              out.c_str());
  return kDone;
}

int copy_save_command(const Arguments& arguments) {
  const std::optional<int> slot = parse_slot(arguments.operands[1]);
  if (!slot) return usage_error("SLOT must be a number from 1 to 15");
  const bool allow_corrupted = arguments.has("--allow-corrupted");
  const std::string& source_path = arguments.operands[0];
  auto source = std::make_unique<OpenCard>();
  if (Failure failure = open_card_file(source_path, allow_corrupted, *source, true))
    return report_failure(failure, source_path);
  const int save = selected_save(source->slots, *slot);
  if (save < 0) return report_failure(fail("No save selected."), source_path);
  if (Failure failure = check_exportable(source->slots, save, allow_corrupted))
    return report_failure(failure, source_path);
  SaveImport copied;
  if (Failure failure = take_save(source->card, save, copied)) return report_failure(failure, source_path);

  const std::string& target_path = arguments.operands[2];
  auto target = std::make_unique<OpenCard>();
  if (Failure failure = open_card_file(target_path, false, *target)) return report_failure(failure, target_path);
  int first = -1;
  if (Failure failure = place_copy(copied, comment_of(source->card, source->file, save), target->card,
                                   target->file, target->slots.used, first))
    return report_failure(failure, target_path);
  std::string out;
  if (Failure failure = write_changed_card(arguments, target_path, *target, out))
    return report_failure(failure, out);
  std::printf("Copied slot %d of %s (%s, %s) into slot %d of %s.\n", save + 1, source_path.c_str(),
              save_name(target->card, first).c_str(), blocks_text(copied.blocks).c_str(), first + 1,
              out.c_str());
  return kDone;
}
