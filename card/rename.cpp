#include "card/rename.h"

#include <cstring>

namespace {

bool name_field_empty(const uint8_t* directory) {
  for (size_t i = 0; i < kSaveNameMax; ++i)
    if (directory[kDirName + i]) return false;
  return true;
}

void write_name(uint8_t* directory, const std::string& name) {
  std::memset(directory + kDirName, 0, kSaveNameMax);
  std::memcpy(directory + kDirName, name.data(), name.size());
  store_checksum(directory);
}

}  // namespace

Failure check_new_name(const CardImage& card, const SlotTable& slots, int first, const std::string& name) {
  if (first < 0 || first >= kSlotCount || slots.status[first] <= 0) return fail("No save selected.");
  if (name.empty()) return fail("A save needs a name: the game looks its saves up by it.");
  if (name.size() > kSaveNameMax)
    return fail("The name " + name + " is " + std::to_string(name.size()) +
                " characters long: the directory holds at most 20.");
  for (char c : name)
    if (c < 0x20 || c > 0x7E)
      return fail("A save name holds printable ASCII characters only (letters, digits, '-' ...).");
  for (int slot = 0; slot < kSlotCount; ++slot)
    if (slot != first && slots.status[slot] > 0 && DirectoryFrame{directory_frame(card, slot)}.name() == name)
      return fail("The save in slot " + std::to_string(slot + 1) + " is named " + name +
                  " already: a game would find only one of the two.");
  return std::nullopt;
}

Failure rename_save(CardImage& card, const SlotTable& slots, int first, const std::string& name) {
  if (Failure failure = check_new_name(card, slots, first, name)) return failure;
  bool visited[kSlotCount] = {};
  for (int slot = first; slot >= 0 && slot < kSlotCount && !visited[slot];
       slot = directory_frame(card, slot)[kDirNext]) {
    visited[slot] = true;
    if (slot != first && slots.owner[slot] != first) break;  // no block of this save
    uint8_t* directory = directory_frame(card, slot);
    if (slot == first || !name_field_empty(directory)) write_name(directory, name);
  }
  return std::nullopt;
}

std::optional<std::string> name_in_region(const std::string& name, Region region) {
  if (name.size() < 2 || name[0] != 'B') return std::nullopt;
  std::string renamed = name;
  renamed[1] = region_letter(region);
  return renamed;
}
