#include "card/analysis.h"

#include <memory>

bool save_header_well_formed(const CardImage& card, int slot) {
  const SaveHeader header{data_block(card, slot)};
  return header.has_magic() && header.flag_well_formed() &&
         header.block_count() == DirectoryFrame{directory_frame(card, slot)}.size_block_count();
}

namespace {

// Walks the chain from a first block, claiming every block it passes. A link
// outside the fifteen slots or back to a block already walked ends the walk
// as a broken chain, as does a bad directory frame unless corrupted saves
// are allowed.
bool walk_chain(const CardImage& card, int first, SlotTable& table, bool allow_corrupted) {
  bool visited[kSlotCount] = {};
  visited[first] = true;
  int link = DirectoryFrame{directory_frame(card, first)}.next();
  while (link != kEndOfChain) {
    if (link >= kSlotCount || visited[link]) return false;
    visited[link] = true;
    const uint8_t* next = directory_frame(card, link);
    if (frame_is_bad(next) && !allow_corrupted) return false;
    table.owner[link] = first;
    link = DirectoryFrame{next}.next();
  }
  return true;
}

}  // namespace

int classify_slot(const CardImage& card, int slot, SlotTable& table, bool allow_corrupted) {
  const uint8_t* frame_bytes = directory_frame(card, slot);
  const DirectoryFrame directory{frame_bytes};
  if (frame_is_bad(frame_bytes) && !allow_corrupted) return kSlotCorrupted;
  if (!directory.in_use()) return kSlotEmpty;
  const int kind = directory.state() & 0x0F;
  if (kind == 0 || kind > 3) return kSlotCorrupted;
  if (kind != 1) return table.owner[slot] >= 0 ? kSlotFurtherBlock : kSlotCorrupted;

  const uint8_t* first_block = data_block(card, slot);
  const SaveHeader header{first_block};
  if (!save_header_well_formed(card, slot) && !allow_corrupted) return kSlotCorrupted;

  SlotIcons& icons = table.icons[slot];
  icons.count = header.icon_frames();
  for (int k = 0; k < icons.count; ++k)
    decode_icon(first_block + (k + 1) * kFrameSize, header.colours(), icons.frames[k]);
  if (icons.count == 0) {
    icons.frames[0] = black_icon();
    icons.count = 1;
  }

  if (!walk_chain(card, slot, table, allow_corrupted)) return kSlotCorrupted;
  return header.block_count();
}

Failure analyse_card(CardImage& card, SlotTable& table, bool allow_corrupted) {
  if (!is_loaded(card) || frame_is_bad(frame(card, 0))) {
    card.bytes[0] = 0;
    return fail(kWrongCardFormat);
  }
  table.used = 0;
  for (int i = 0; i < kSlotCount; ++i) {
    table.owner[i] = -1;
    table.icons[i].count = 0;
  }
  for (int i = 0; i < kSlotCount; ++i) {
    const int status = classify_slot(card, i, table, allow_corrupted);
    table.status[i] = status;
    SlotIcons& icons = table.icons[i];
    if (status == kSlotCorrupted || status == kSlotEmpty) {
      icons.frames[0] = status == kSlotCorrupted ? red_placeholder() : white_placeholder();
      icons.count = 1;
    } else {
      ++table.used;
    }
  }
  return std::nullopt;
}

bool header_checksum_wrong(const CardImage& card) {
  return is_loaded(card) && frame_is_bad(frame(card, 0));
}

Failure analyse_card_copy(const CardImage& card, SlotTable& table, bool allow_corrupted) {
  auto copy = std::make_unique<CardImage>(card);
  return analyse_card(*copy, table, allow_corrupted);
}

Failure analyse_card_despite_header_checksum(const CardImage& card, SlotTable& table,
                                             bool allow_corrupted) {
  auto mended = std::make_unique<CardImage>(card);
  store_checksum(frame(*mended, 0));
  return analyse_card(*mended, table, allow_corrupted);
}

int icon_source(const SlotTable& table, int slot) {
  if (table.status[slot] != kSlotFurtherBlock) return slot;
  return table.owner[slot];
}

int selected_save(const SlotTable& table, int slot) {
  return table.status[slot] == kSlotFurtherBlock ? table.owner[slot] : slot;
}
