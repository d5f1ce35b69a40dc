// The verbs that change what a card says of a save, not its data: "rename"
// (its name, or only its region letters) and "comment" (a GME file's
// comment beside it).
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "card/rename.h"
#include "cli/card_files.h"
#include "cli/commands.h"
#include "cli/listing.h"
#include "files/card_formats.h"

namespace {

std::optional<Region> region_named(const std::string& name) {
  if (name == "america") return Region::america;
  if (name == "europe") return Region::europe;
  if (name == "japan") return Region::japan;
  return std::nullopt;
}

}  // namespace

int rename_command(const Arguments& arguments) {
  const std::optional<std::string> region_text = arguments.value("--region");
  if (arguments.operands.size() != (region_text ? 2u : 3u))
    return usage_error("rename takes a CARD, a SLOT and either a NAME or --region");
  const std::optional<int> slot = parse_slot(arguments.operands[1]);
  if (!slot) return usage_error("SLOT must be a number from 1 to 15");
  const std::optional<Region> region = region_text ? region_named(*region_text) : std::nullopt;
  if (region_text && !region) return usage_error("--region takes america, europe or japan");
  const std::string& card_path = arguments.operands[0];
  auto open = std::make_unique<OpenCard>();
  if (Failure failure = open_card_file(card_path, false, *open)) return report_failure(failure, card_path);
  const int save = selected_save(open->slots, *slot);
  if (save < 0 || open->slots.status[save] <= 0) return report_failure(fail("No save selected."), card_path);
  const std::string old_name = DirectoryFrame{directory_frame(open->card, save)}.name();
  std::string name = region ? "" : arguments.operands[2];
  if (region) {
    const std::optional<std::string> renamed = name_in_region(old_name, *region);
    if (!renamed)
      return report_failure(fail("The save's name, " + old_name + ", has no region letters to change "
                                 "(a name begins with BA, BE or BI)."),
                            card_path);
    name = *renamed;
  }
  if (name == old_name) {
    std::printf("Slot %d is named %s already: nothing changed.\n", save + 1, name.c_str());
    return kDone;
  }
  if (Failure failure = rename_save_keeping_comment(open->card, open->file, open->slots, save, name))
    return report_failure(failure, card_path);
  std::string out;
  if (Failure failure = write_changed_card(arguments, card_path, *open, out)) return report_failure(failure, out);
  std::printf("Renamed slot %d from %s to %s in %s.\n%s\n", save + 1, old_name.c_str(), name.c_str(), out.c_str(),
              kRenamedSaveNote);
  return kDone;
}

int comment_command(const Arguments& arguments) {
  const std::optional<int> slot = parse_slot(arguments.operands[1]);
  if (!slot) return usage_error("SLOT must be a number from 1 to 15");
  const std::string& card_path = arguments.operands[0];
  auto open = std::make_unique<OpenCard>();
  if (Failure failure = open_card_file(card_path, false, *open)) return report_failure(failure, card_path);
  const int save = selected_save(open->slots, *slot);
  const std::string& text = arguments.operands[2];
  // The file written must be one that keeps comments.
  const std::string out_path = arguments.value("--output").value_or(card_path);
  CardFileInfo written = open->file;
  written.format = output_card_format(arguments, out_path, card_path, open->file).value_or(CardFormat::raw);
  if (Failure failure = edit_comment(open->card, written, save, text))
    return report_failure(failure, out_path == card_path ? card_path : out_path);
  open->file = written;
  std::string out;
  if (Failure failure = write_changed_card(arguments, card_path, *open, out)) return report_failure(failure, out);
  if (text.empty())
    std::printf("Cleared the comment of slot %d (%s) in %s.\n", save + 1, save_name(open->card, save).c_str(),
                out.c_str());
  else
    std::printf("Set the comment of slot %d (%s) in %s.\n", save + 1, save_name(open->card, save).c_str(),
                out.c_str());
  return kDone;
}
