#include "files/backups.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "files/file_io.h"
#include "files/folders.h"

namespace {

const char kStampPattern[] = "%04d-%02d-%02d_%02d-%02d-%02d";
constexpr size_t kStampLength = 19;  // "2025-01-31_14-05-09"
constexpr int kMostPerSecond = 99;   // the base name, then _02 .. _99
const char kExtension[] = ".mcr";
const char kNothingSent[] = " Nothing was written to the card.";

struct BackupName {
  std::string file;
  std::string stamp;
  int sequence = 1;
};

bool digits(const std::string& text, size_t at, size_t count) {
  for (size_t i = at; i < at + count; ++i)
    if (i >= text.size() || text[i] < '0' || text[i] > '9') return false;
  return true;
}

// "2025-01-31_14-05-09.mcr" or "2025-01-31_14-05-09_NN.mcr", and nothing else.
bool parse_backup_name(const std::string& file, BackupName& out) {
  const std::string extension = kExtension;
  if (file.size() < kStampLength + extension.size() ||
      file.compare(file.size() - extension.size(), extension.size(), extension) != 0)
    return false;
  const std::string stem = file.substr(0, file.size() - extension.size());
  for (size_t i = 0; i < kStampLength; ++i) {
    const bool separator = i == 4 || i == 7 || i == 13 || i == 16;
    if (separator ? stem[i] != '-' : i == 10 ? stem[i] != '_' : !digits(stem, i, 1)) return false;
  }
  out.file = file;
  out.stamp = stem.substr(0, kStampLength);
  out.sequence = 1;
  if (stem.size() == kStampLength) return true;
  if (stem.size() != kStampLength + 3 || stem[kStampLength] != '_' ||
      !digits(stem, kStampLength + 1, 2))
    return false;
  out.sequence = std::stoi(stem.substr(kStampLength + 1));
  return out.sequence >= 2;
}

bool older(const BackupName& a, const BackupName& b) {
  return a.stamp != b.stamp ? a.stamp < b.stamp : a.sequence < b.sequence;
}

std::vector<BackupName> backups_oldest_first(const std::string& folder) {
  std::vector<BackupName> names;
  for (const std::string& file : files_in(folder)) {
    BackupName name;
    if (parse_backup_name(file, name)) names.push_back(name);
  }
  std::sort(names.begin(), names.end(), older);
  return names;
}

std::string file_name(const std::string& stamp, int sequence) {
  if (sequence == 1) return stamp + kExtension;
  char suffix[8];
  std::snprintf(suffix, sizeof suffix, "_%02d", sequence);
  return stamp + suffix + kExtension;
}

Failure cannot_back_up(const std::string& folder, const std::string& why) {
  return fail("Cannot back up the Memory Card into " + folder + ": " + why + "." + kNothingSent);
}

}  // namespace

Failure backup_folder(std::string& folder) {
  const std::string data = user_data_folder();
  if (data.empty())
    return fail(
        std::string("Cannot back up the Memory Card: the environment names no folder for this "
                    "user's data.") +
        kNothingSent);
  folder = path_in(data, "backups");
  return std::nullopt;
}

Failure write_backup(const CardImage& card, std::string& path) {
  std::string folder;
  if (Failure failure = backup_folder(folder)) return failure;
  if (!make_folders(folder)) return cannot_back_up(folder, "the folder cannot be made");
  std::tm now{};
  if (!local_time(std::time(nullptr), now))
    return cannot_back_up(folder, "the system tells no time");
  char stamp[80];  // room for any int the fields could hold
  std::snprintf(stamp, sizeof stamp, kStampPattern, now.tm_year + 1900, now.tm_mon + 1, now.tm_mday,
                now.tm_hour, now.tm_min, now.tm_sec);
  // The name is taken for good before the card goes in, so a second
  // backup in the same second, from this program or another, gets its own.
  path.clear();
  for (int sequence = 1; sequence <= kMostPerSecond && path.empty(); ++sequence) {
    const std::string candidate = path_in(folder, file_name(stamp, sequence));
    if (create_new_file(candidate)) path = candidate;
  }
  if (path.empty()) return cannot_back_up(folder, "no file can be made there");
  if (write_file_replacing(path, card.bytes.data(), card.bytes.size())) {
    std::remove(path.c_str());
    return cannot_back_up(folder, "the file cannot be written");
  }
  const std::vector<BackupName> kept = backups_oldest_first(folder);
  // Failing to remove one only keeps it longer.
  for (size_t i = 0; i + kBackupsKept < kept.size(); ++i)
    std::remove(path_in(folder, kept[i].file).c_str());
  return std::nullopt;
}

std::vector<Backup> list_backups(const std::string& folder) {
  std::vector<Backup> backups;
  const std::vector<BackupName> names = backups_oldest_first(folder);
  for (auto name = names.rbegin(); name != names.rend(); ++name) {
    std::string taken = name->stamp;
    taken[10] = ' ';
    taken[13] = taken[16] = ':';
    backups.push_back(Backup{path_in(folder, name->file), taken});
  }
  return backups;
}
