// Backups of the real card, taken before every write to it so that the
// write can be undone: whole raw card images (.mcr, 131072 bytes) in the
// user's data folder, named by the local time they were taken
// ("2025-01-31_14-05-09.mcr", then "..._02.mcr" and on within one second).
// The newest 100 are kept.
#pragma once

#include <string>
#include <vector>

#include "card/card_image.h"
#include "card/failure.h"

constexpr int kBackupsKept = 100;

struct Backup {
  std::string path;
  std::string taken;  // "2025-01-31 14:05:09"
};

// user_data_folder()/backups; fails when the environment names no data folder.
Failure backup_folder(std::string& folder);

// Writes the card as a new backup, whole and flushed to the disk before this
// returns, then removes the oldest backups beyond 100. `path` receives the
// backup's path. A backup that cannot be written fails with "Cannot back
// up the Memory Card ... Nothing was written to the card.": the caller
// sends nothing then.
Failure write_backup(const CardImage& card, std::string& path);

// The backups in `folder`, newest first. Files whose names the program did
// not make are left out (and never removed).
std::vector<Backup> list_backups(const std::string& folder);
