#include "card/editing.h"

#include <cstring>
#include <string>

void format_card(CardImage& card) {
  card.bytes.fill(0);
  card.bytes[0] = kCardMagic0;
  card.bytes[1] = kCardMagic1;
  for (int slot = 0; slot < kSlotCount; ++slot) {
    uint8_t* directory = directory_frame(card, slot);
    directory[kDirState] = kStateNeverUsed;
    directory[kDirNext] = directory[kDirNext + 1] = kEndOfChain;
  }
  for (int f = kFirstReservedFrame; f < kFirstReservedFrame + kReservedFrameCount; ++f) {
    uint8_t* reserved = frame(card, f);
    std::memset(reserved, 0xFF, 4);
    reserved[8] = reserved[9] = 0xFF;  // byte 127 stays 0, which is their checksum
  }
  for (int f = 0; f <= kSlotCount; ++f) store_checksum(frame(card, f));
}

void delete_save(CardImage& card, int slot) {
  bool visited[kSlotCount] = {};
  while (slot >= 0 && slot < kSlotCount && !visited[slot]) {
    visited[slot] = true;
    uint8_t* directory = directory_frame(card, slot);
    if (!DirectoryFrame{directory}.in_use()) return;
    directory[kDirState] ^= 0xF0;
    store_checksum(directory);
    slot = directory[kDirNext];
  }
}

int first_free_slot(const CardImage& card) {
  for (int slot = 0; slot < kSlotCount; ++slot)
    if (DirectoryFrame{directory_frame(card, slot)}.is_free()) return slot;
  return -1;
}

Message not_enough_space(int blocks) {
  return Message{"Not enough space on the current Memory Card to import this file !\nYou need " +
                     std::to_string(blocks) + " free blocks.",
                 "File Error"};
}

Failure place_save(CardImage& card, const uint8_t* directory_template, const uint8_t* data,
                   size_t size) {
  const int blocks = int(size / kBlockSize);
  int free_slots[kSlotCount];
  int found = 0;
  for (int slot = 0; slot < kSlotCount && found < blocks; ++slot)
    if (DirectoryFrame{directory_frame(card, slot)}.is_free()) free_slots[found++] = slot;
  if (found < blocks) return not_enough_space(blocks);

  uint8_t entry[kFrameSize];
  std::memcpy(entry, directory_template, kFrameSize);
  entry[kDirState] = kStateFirst;
  uint8_t* previous = nullptr;
  for (int n = 0; n < blocks; ++n) {
    const int slot = free_slots[n];
    uint8_t* directory = directory_frame(card, slot);
    if (previous) {
      previous[kDirNext] = uint8_t(slot);
      previous[kDirNext + 1] = 0;
      store_checksum(previous);
    }
    if (n == blocks - 1 && blocks > 1) entry[kDirState] = kStateLast;
    entry[kDirNext] = entry[kDirNext + 1] = kEndOfChain;
    store_checksum(entry);
    std::memcpy(directory, entry, kFrameSize);
    entry[kDirState] = kStateMiddle;
    std::memcpy(data_block(card, slot), data + n * kBlockSize, kBlockSize);
    previous = directory;
  }
  return std::nullopt;
}
