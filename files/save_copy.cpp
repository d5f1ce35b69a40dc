#include "files/save_copy.h"

#include <memory>

#include "card/analysis.h"
#include "card/editing.h"
#include "files/backups.h"
#include "files/card_file.h"

int slot_named(const CardImage& card, const SlotTable& slots, const std::string& name) {
  for (int slot = 0; slot < kSlotCount; ++slot)
    if (slots.status[slot] > 0 && DirectoryFrame{directory_frame(card, slot)}.name() == name) return slot;
  return -1;
}

int slot_holding(const CardImage& card, const SlotTable& slots, const SaveImport& save) {
  const std::string name = DirectoryFrame{save.directory}.name();
  for (int slot = 0; slot < kSlotCount; ++slot) {
    if (slots.status[slot] <= 0 || DirectoryFrame{directory_frame(card, slot)}.name() != name) continue;
    SaveImport held;
    if (!take_save(card, slot, held) && held.data == save.data) return slot;
  }
  return -1;
}

Failure place_copy(const SaveImport& save, const std::string& comment, CardImage& target,
                   CardFileInfo& target_file, int target_used, int& first) {
  first = first_free_slot(target);
  if (Failure failure = import_save(target, target_used, save)) return failure;
  set_comment(target, target_file, first, comment);
  return std::nullopt;
}

Failure copy_save_to_card_file(const CardImage& source, const CardFileInfo& source_file, int slot,
                               const std::string& path, CopiedSave& copied) {
  auto target = std::make_unique<CardImage>();
  CardFileInfo target_file;
  bool opened = false;
  if (Failure failure = read_card_file(path, *target, opened, target_file)) return failure;
  auto slots = std::make_unique<SlotTable>();
  if (Failure failure = analyse_card_copy(*target, *slots, false)) return failure;
  SaveImport save;
  if (Failure failure = take_save(source, slot, save)) return failure;
  const auto before = std::make_unique<CardImage>(*target);
  if (Failure failure = place_copy(save, comment_of(source, source_file, slot), *target, target_file,
                                   slots->used, copied.first))
    return failure;
  copied.blocks = save.blocks;
  if (Failure failure = write_backup(*before, copied.backup_path)) return failure;
  return write_card_file(path, *target, target_file);
}
