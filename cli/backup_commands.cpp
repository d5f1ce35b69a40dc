// "backups": the backups taken before each write to the card, newest
// first; "write BACKUP" puts one back.
#include <cstdio>
#include <memory>
#include <string>

#include "cli/card_files.h"
#include "cli/commands.h"
#include "cli/listing.h"
#include "files/backups.h"

namespace {

// "6/15\tBASLUS-00001DEMO, BISLPSP00001GAME", or why the file is no card.
std::string backup_contents(const std::string& path) {
  auto open = std::make_unique<OpenCard>();
  if (Failure failure = open_card_file(path, false, *open)) return line_field(failure->text);
  std::string names;
  for (int slot = 0; slot < kSlotCount; ++slot)
    if (open->slots.status[slot] > 0)
      names += (names.empty() ? "" : ", ") + line_field(save_name(open->card, slot));
  return std::to_string(open->slots.used) + "/15\t" + names;
}

}  // namespace

int backups_command(const Arguments&) {
  std::string folder;
  if (Failure failure = backup_folder(folder)) return report_failure(failure);
  const std::vector<Backup> backups = list_backups(folder);
  if (backups.empty()) {
    std::printf("No backup in %s yet.\n", folder.c_str());
    return kDone;
  }
  for (const Backup& backup : backups)
    std::printf("%s\t%s\t%s\n", backup.taken.c_str(), backup.path.c_str(),
                backup_contents(backup.path).c_str());
  return kDone;
}
