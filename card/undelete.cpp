#include "card/undelete.h"

#include <algorithm>
#include <cstdio>

#include "card/analysis.h"
#include "card/slot_text.h"

namespace {

constexpr uint8_t kDeletedFirst = kStateFirst ^ 0xF0;    // 0xA1
constexpr uint8_t kDeletedMiddle = kStateMiddle ^ 0xF0;  // 0xA2
constexpr uint8_t kDeletedLast = kStateLast ^ 0xF0;      // 0xA3

std::string slot_text(int slot) { return "slot " + std::to_string(slot + 1); }

uint8_t state_of(const CardImage& card, int slot) { return directory_frame(card, slot)[kDirState]; }
uint8_t next_of(const CardImage& card, int slot) { return directory_frame(card, slot)[kDirNext]; }

bool deleted_further(uint8_t state) { return state == kDeletedMiddle || state == kDeletedLast; }

bool holds(const std::vector<int>& slots, int slot) {
  return std::count(slots.begin(), slots.end(), slot) != 0;
}

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
    if (holds(save.slots, link)) {
      save.why_not = "its chain comes back to " + slot_text(link);
      break;
    }
    if (!deleted_further(state_of(card, link))) {
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
  return save;
}

std::string size_mismatch(const CardImage& card, const DeletedSave& save) {
  const uint32_t size = DirectoryFrame{directory_frame(card, save.first)}.size();
  const int blocks = int(save.slots.size());
  if (size == uint32_t(blocks) * kBlockSize) return "";
  return "its size field says " + std::to_string(size) + " bytes, but its chain holds " +
         blocks_text(blocks);
}

// A first block alone, its link cleared, whose size field says it has
// further blocks: the blocks it says, or 0.
int blocks_of_unlinked_first(const CardImage& card, const DeletedSave& save) {
  const uint32_t size = DirectoryFrame{directory_frame(card, save.first)}.size();
  if (save.slots.size() != 1 || next_of(card, save.first) != kEndOfChain || size % kBlockSize != 0 ||
      size <= kBlockSize || size > kSlotCount * kBlockSize)
    return 0;
  return int(size / kBlockSize);
}

// The deleted further blocks after `first` in slot order, at most `count`.
std::vector<int> deleted_blocks_after(const CardImage& card, int first, int count) {
  std::vector<int> found;
  for (int slot = first + 1; slot < kSlotCount && int(found.size()) < count; ++slot)
    if (deleted_further(state_of(card, slot))) found.push_back(slot);
  return found;
}

// Why `further` cannot be the lost further blocks of the save of `blocks`
// blocks in `first`; "" when nothing speaks against it.
std::string why_not_its_blocks(const CardImage& card, int first, int blocks,
                               const std::vector<int>& further) {
  if (!save_header_well_formed(card, first)) return "its save header does not say " + blocks_text(blocks);
  const int found = int(further.size());
  if (found < blocks - 1)
    return found == 0   ? std::string("no deleted further block follows it")
           : found == 1 ? std::string("only 1 deleted further block follows it")
                        : "only " + std::to_string(found) + " deleted further blocks follow it";
  for (int n = 0; n < found; ++n) {
    const int slot = further[n];
    const std::string block = "the block in " + slot_text(slot);
    const bool last = n + 1 == found;
    if (frame_is_bad(directory_frame(card, slot)))
      return "the directory frame of " + slot_text(slot) + " is damaged (its checksum is wrong)";
    if (state_of(card, slot) != (last ? kDeletedLast : kDeletedMiddle))
      return block + (last ? " is a middle block, where its last block belongs"
                           : " is a last block, where a middle block belongs");
    if (next_of(card, slot) != kEndOfChain) return block + " still links to another block";
    for (int other = 0; other < kSlotCount; ++other)
      if (next_of(card, other) == slot) return block + " is linked from " + slot_text(other);
  }
  return "";
}

// Gives a save whose links were cleared the further blocks it must have
// had, or the reason it cannot have them. `claimed` receives the blocks it
// would have had, which no other rebuilt save may then take.
void rebuild_links(const CardImage& card, DeletedSave& save, std::vector<int>& claimed) {
  const std::string mismatch = size_mismatch(card, save);
  if (mismatch.empty()) return;
  const int blocks = blocks_of_unlinked_first(card, save);
  if (blocks == 0) {
    save.why_not = mismatch;
    return;
  }
  claimed = deleted_blocks_after(card, save.first, blocks - 1);
  const std::string why = why_not_its_blocks(card, save.first, blocks, claimed);
  if (!why.empty()) {
    save.why_not = mismatch + ", and its links cannot be rebuilt: " + why;
    return;
  }
  save.slots.insert(save.slots.end(), claimed.begin(), claimed.end());
  save.links_rebuilt = true;
}

// Why a block of `save` may not be its own: another deleted chain holds it,
// a live save links to it, or, for rebuilt links, another rebuilt save
// could claim it. "" when none does.
std::string shared_block(const CardImage& card, const std::vector<DeletedSave>& saves,
                         const std::vector<std::vector<int>>& claimed, size_t index) {
  const DeletedSave& save = saves[index];
  for (int slot : save.slots) {
    const std::string block = "the block in " + slot_text(slot);
    for (size_t other = 0; other < saves.size(); ++other) {
      if (other == index) continue;
      // A rebuilt chain is a guess: it stands back wherever another chain's
      // links reach, and never takes another save's block.
      const std::vector<int>& their_blocks =
          saves[other].links_rebuilt ? std::vector<int>{saves[other].first} : saves[other].slots;
      if (holds(their_blocks, slot))
        return block + " is also a block of the deleted save in " + slot_text(saves[other].first);
      if (save.links_rebuilt && holds(claimed[other], slot))
        return block + " could also be a block of the deleted save in " + slot_text(saves[other].first);
    }
    for (int live = 0; live < kSlotCount; ++live)
      if (DirectoryFrame{directory_frame(card, live)}.in_use() && next_of(card, live) == slot)
        return block + " is linked from the save in " + slot_text(live);
  }
  return "";
}

// A block two deleted chains claim, or one a live save links to, is no
// longer known to be this save's.
void refuse_shared_blocks(const CardImage& card, std::vector<DeletedSave>& saves,
                          const std::vector<std::vector<int>>& claimed) {
  std::vector<std::string> shared(saves.size());
  for (size_t i = 0; i < saves.size(); ++i)
    if (saves[i].why_not.empty()) shared[i] = shared_block(card, saves, claimed, i);
  for (size_t i = 0; i < saves.size(); ++i) {
    DeletedSave& save = saves[i];
    if (shared[i].empty()) continue;
    if (!save.links_rebuilt) {
      save.why_not = shared[i];
      continue;
    }
    save.slots = {save.first};
    save.links_rebuilt = false;
    save.why_not = size_mismatch(card, save) + ", and its links cannot be rebuilt: " + shared[i];
  }
}

}  // namespace

std::vector<DeletedSave> deleted_saves(const CardImage& card) {
  std::vector<DeletedSave> saves;
  for (int slot = 0; slot < kSlotCount; ++slot)
    if (state_of(card, slot) == kDeletedFirst) saves.push_back(follow_deleted_chain(card, slot));
  std::vector<std::vector<int>> claimed(saves.size());
  for (size_t i = 0; i < saves.size(); ++i)
    if (saves[i].why_not.empty()) rebuild_links(card, saves[i], claimed[i]);
  refuse_shared_blocks(card, saves, claimed);
  const size_t with_first = saves.size();
  for (int slot = 0; slot < kSlotCount; ++slot) {
    if (!deleted_further(state_of(card, slot))) continue;
    const bool reached =
        std::any_of(saves.begin(), saves.begin() + with_first,
                    [slot](const DeletedSave& s) { return holds(s.slots, slot); });
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

Failure undelete_save(CardImage& card, int slot, DeletedSave* restored) {
  const std::string refused = "Cannot undelete " + slot_text(slot) + ": ";
  for (const DeletedSave& save : deleted_saves(card)) {
    if (save.first != slot || !save.has_first) continue;
    if (!save.why_not.empty()) return fail(refused + save.why_not + ".");
    for (size_t n = 0; n < save.slots.size(); ++n) {
      uint8_t* directory = directory_frame(card, save.slots[n]);
      // Links as a program placing the save writes them.
      if (save.links_rebuilt && n + 1 < save.slots.size()) {
        directory[kDirNext] = uint8_t(save.slots[n + 1]);
        directory[kDirNext + 1] = 0;
      }
      directory[kDirState] ^= 0xF0;
      store_checksum(directory);
    }
    if (restored) *restored = save;
    return std::nullopt;
  }
  const uint8_t state = state_of(card, slot);
  if (deleted_further(state))
    return fail(refused + "it holds a further block of a deleted save, not its first block.");
  return fail(refused + "it holds no deleted save.");
}
