// "list --deleted" and "undelete": the saves deleted from a card, and
// their restoration while their blocks are still their own.
#include <cstdio>
#include <memory>
#include <string>

#include "card/undelete.h"
#include "cli/card_files.h"
#include "cli/commands.h"
#include "cli/listing.h"

int list_deleted_command(const Arguments& arguments) {
  auto open = std::make_unique<OpenCard>();
  if (arguments.has("--adaptor")) {
    // The directory and the save heads tell all that undelete looks at.
    if (Failure failure = read_from_adaptor(true, open->card)) return report_failure(failure);
    if (Failure failure = analyse_card(open->card, open->slots, false))
      return report_failure(failure);
  } else if (Failure failure =
                 open_card_file(arguments.operands[0], arguments.has("--allow-corrupted"), *open, true)) {
    return report_failure(failure, arguments.operands[0]);
  }
  const std::string listing =
      arguments.has("--json") ? deleted_json(open->card) : deleted_lines(open->card);
  std::fputs(listing.c_str(), stdout);
  return kDone;
}

int undelete_command(const Arguments& arguments) {
  const std::optional<int> slot = parse_slot(arguments.operands[1]);
  if (!slot) return usage_error("SLOT must be a number from 1 to 15");
  const std::string& card_path = arguments.operands[0];
  auto open = std::make_unique<OpenCard>();
  if (Failure failure = open_card_file(card_path, false, *open)) return report_failure(failure, card_path);
  DeletedSave restored;
  if (Failure failure = undelete_save(open->card, *slot, &restored)) return report_failure(failure, card_path);
  std::string out;
  if (Failure failure = write_changed_card(arguments, card_path, *open, out))
    return report_failure(failure, out);
  std::printf("Restored slot %d (%s, %s%s) in %s.\n", *slot + 1, save_name(open->card, *slot).c_str(),
              blocks_text(int(restored.slots.size())).c_str(),
              restored.links_rebuilt ? ", its cleared links rebuilt" : "", out.c_str());
  return kDone;
}
