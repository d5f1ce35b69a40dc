#include "card/undelete.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr uint8_t kDeletedFirst = kStateFirst ^ 0xF0;    // 0xA1
constexpr uint8_t kDeletedMiddle = kStateMiddle ^ 0xF0;  // 0xA2
constexpr uint8_t kDeletedLast = kStateLast ^ 0xF0;      // 0xA3

std::string slot_text(int slot) { return "slot " + std::to_string(slot + 1); }

uint8_t state_of(const CardImage& card, int slot) { return directory_frame(card, slot)[kDirState]; }
uint8_t next_of(const CardImage& card, int slot) { return directory_frame(card, slot)[kDirNext]; }

std::string no_longer_its_own(const CardImage& card, int slot) {
  const uint8_t state = state_of(card, slot);
  if ((state & 0xF0) == kInUseNibble)
    return "the block in " + slot_text(slot) + " now belongs to another save";
  if (state == kDeletedFirst)
    return "the block in " + slot_text(slot) + " now belongs to another deleted save";
  char hex[8];
  std::snprintf(hex, sizeof hex, "0x%02X", state);
  return "the block in " + slot_text(slot) + " is no longer one of its blocks (state " + hex + ")";
}

// The chain from a deleted first block, as far as its blocks are still
// deleted further blocks; the reason it ends early, if it does.
DeletedSave follow_deleted_chain(const CardImage& card, int first) {
  DeletedSave save;
  save.first = first;
  save.slots = {first};
  if (frame_is_bad(directory_frame(card, first))) {
    save.why_not = "its directory frame is damaged (its checksum is wrong)";
    return save;
  }
  for (;;) {
    const int at = save.slots.back();
    const int link = next_of(card, at);
    if (link == kEndOfChain) {
      if (state_of(card, at) == kDeletedMiddle)
        save.why_not =
            "its chain ends at a middle block, in " + slot_text(at) + ": its last block is lost";
      break;
    }
    if (at != first && state_of(card, at) == kDeletedLast) {
      save.why_not = "its last block, in " + slot_text(at) + ", links on to another block";
      break;
    }
    if (link >= kSlotCount) {
      save.why_not = "its chain leaves the card after " + slot_text(at);
      break;
    }
    if (std::count(save.slots.begin(), save.slots.end(), link)) {
      save.why_not = "its chain comes back to " + slot_text(link);
      break;
    }
    const uint8_t state = state_of(card, link);
    if (state != kDeletedMiddle && state != kDeletedLast) {
      save.why_not = no_longer_its_own(card, link);
      break;
    }
    save.slots.push_back(link);
    if (frame_is_bad(directory_frame(card, link))) {
      save.why_not =
          "the directory frame of " + slot_text(link) + " is damaged (its checksum is wrong)";
      break;
    }
  }
  const uint32_t size = DirectoryFrame{directory_frame(card, first)}.size();
  const int blocks = int(save.slots.size());
  if (save.why_not.empty() && size != uint32_t(blocks) * kBlockSize)
    save.why_not = "its size field says " + std::to_string(size) + " bytes, but its chain holds " +
                   std::to_string(blocks) + (blocks == 1 ? " block" : " blocks");
  return save;
}

// A block two deleted chains claim, or one a live save links to, is no
// longer known to be this save's.
void refuse_shared_blocks(const CardImage& card, std::vector<DeletedSave>& saves) {
  for (DeletedSave& save : saves) {
    if (!save.why_not.empty()) continue;
    for (int slot : save.slots) {
      for (const DeletedSave& other : saves)
        if (&other != &save && std::count(other.slots.begin(), other.slots.end(), slot))
          save.why_not = "the block in " + slot_text(slot) +
                         " is also a block of the deleted save in " + slot_text(other.first);
      for (int live = 0; live < kSlotCount && save.why_not.empty(); ++live)
        if (DirectoryFrame{directory_frame(card, live)}.in_use() && next_of(card, live) == slot)
          save.why_not =
              "the block in " + slot_text(slot) + " is linked from the save in " + slot_text(live);
      if (!save.why_not.empty()) break;
    }
  }
}

}  // namespace

std::vector<DeletedSave> deleted_saves(const CardImage& card) {
  std::vector<DeletedSave> saves;
  for (int slot = 0; slot < kSlotCount; ++slot)
    if (state_of(card, slot) == kDeletedFirst) saves.push_back(follow_deleted_chain(card, slot));
  refuse_shared_blocks(card, saves);
  const size_t with_first = saves.size();
  for (int slot = 0; slot < kSlotCount; ++slot) {
    const uint8_t state = state_of(card, slot);
    if (state != kDeletedMiddle && state != kDeletedLast) continue;
    const bool reached =
        std::any_of(saves.begin(), saves.begin() + with_first, [slot](const DeletedSave& s) {
          return std::count(s.slots.begin(), s.slots.end(), slot) != 0;
        });
    if (reached) continue;
    DeletedSave lone;
    lone.first = slot;
    lone.slots = {slot};
    lone.has_first = false;
    lone.why_not = "it is a further block of a deleted save whose first block is gone";
    saves.push_back(lone);
  }
  return saves;
}

bool is_deleted_first_block(const CardImage& card, int slot) {
  return state_of(card, slot) == kDeletedFirst;
}

Failure undelete_save(CardImage& card, int slot) {
  const std::string refused = "Cannot undelete " + slot_text(slot) + ": ";
  for (const DeletedSave& save : deleted_saves(card)) {
    if (save.first != slot || !save.has_first) continue;
    if (!save.why_not.empty()) return fail(refused + save.why_not + ".");
    for (int block : save.slots) {
      uint8_t* directory = directory_frame(card, block);
      directory[kDirState] ^= 0xF0;
      store_checksum(directory);
    }
    return std::nullopt;
  }
  const uint8_t state = state_of(card, slot);
  if (state == kDeletedMiddle || state == kDeletedLast)
    return fail(refused + "it holds a further block of a deleted save, not its first block.");
  return fail(refused + "it holds no deleted save.");
}
