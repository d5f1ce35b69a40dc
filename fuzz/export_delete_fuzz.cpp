// The export walk, delete (keeping the links, or clearing them as some
// programs do) and undelete on any card from any slot; every save that
// exports is imported again into a new card, from a file of every format,
// and copied into one, and the new card checks sound and has its delete
// undone.
//
// Input:
//   byte 0  the slot (modulo 15)
//   byte 1  flags: 1 allow corrupted saves, 2 give the card a good "MC"
//           header frame
//   then the card, laid over a formatted card.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "card/card_check.h"
#include "card/editing.h"
#include "card/undelete.h"
#include "files/save_copy.h"
#include "files/save_file.h"
#include "fuzz/fuzz_support.h"

namespace {

constexpr uint8_t kAllowCorrupted = 1;
constexpr uint8_t kLoadedHeader = 2;

// The slots of the save from `slot` on, following the links; false when a
// link leaves the directory or comes back to a slot already taken.
bool chain_from(const CardImage& card, int slot, std::vector<int>& chain) {
  chain = {slot};
  for (;;) {
    const int next = directory_frame(card, chain.back())[kDirNext];
    if (next == kEndOfChain) return true;
    if (next >= kSlotCount || std::count(chain.begin(), chain.end(), next)) return false;
    chain.push_back(next);
  }
}

// A card this program formatted and filled with one save, in slots 0..:
// the check finds nothing but what the save's own bytes make (a header that
// is not well formed, blocks that repeat the first 64 KB), and deleting the
// save is undone byte for byte.
void check_made_here(const CardImage& card) {
  std::vector<std::string> expected;
  if (!save_header_well_formed(card, 0)) expected.push_back("bad-save-header");
  const auto half = card.bytes.begin() + kCardSize / 2;
  if (std::equal(card.bytes.begin(), half, half)) expected.push_back("halves-mirror");
  std::vector<std::string> found;
  for (const CardFault& fault : check_card(card)) found.push_back(fault.name);
  FUZZ_CHECK(found == expected);
  auto undone = std::make_unique<CardImage>(card);
  delete_save(*undone, 0);
  FUZZ_CHECK(!undelete_save(*undone, 0));
  FUZZ_CHECK(undone->bytes == card.bytes);
}

void check_export(const CardImage& card, int slot, bool allow_corrupted) {
  std::vector<uint8_t> mcs = {1, 2, 3};
  const Failure failure = export_save(card, slot, mcs);
  std::vector<int> chain;
  if (!chain_from(card, slot, chain)) {
    FUZZ_CHECK(text_of(failure) == "Corrupted Block !" && failure->caption == "Cannot Export");
    FUZZ_CHECK(mcs.empty());
    return;
  }
  FUZZ_CHECK(!failure);
  const int blocks = int(chain.size());
  FUZZ_CHECK(blocks <= kSlotCount);
  FUZZ_CHECK(mcs.size() == kFrameSize + blocks * kBlockSize);
  FUZZ_CHECK(std::equal(mcs.begin(), mcs.begin() + kFrameSize, directory_frame(card, slot)));
  for (int n = 0; n < blocks; ++n)
    FUZZ_CHECK(std::equal(data_block(card, chain[n]), data_block(card, chain[n]) + kBlockSize,
                          mcs.begin() + kFrameSize + n * kBlockSize));

  // Into a new card. The file is an MCS file when its frame is a good first
  // block frame; then it must import whole when its size field and its
  // header agree with its length.
  auto fresh = std::make_unique<CardImage>();
  format_card(*fresh);
  const auto blank = std::make_unique<CardImage>(*fresh);
  // The copy between cards takes the chain as the export does and places it
  // as the import of its MCS does.
  auto copied = std::make_unique<CardImage>(*fresh);
  SaveImport taken;
  FUZZ_CHECK(!take_save(card, slot, taken) && taken.blocks == blocks);
  CardFileInfo target_file;
  int first = -1;
  FUZZ_CHECK(!place_copy(taken, "", *copied, target_file, 0, first) && first == 0);
  FilePrefix file;
  file.bytes = mcs;
  file.length = mcs.size();
  ImportQuestions no_questions;
  no_questions.import_ragged_file = [] { return false; };
  no_questions.name_raw_save = [] { return std::string(); };
  bool imported = false;
  const Failure import_failure = import_save_file(file, *fresh, 0, no_questions, imported);
  const uint8_t* d = mcs.data();
  const uint8_t* header = d + kFrameSize;
  const bool whole = !frame_is_bad(d) && d[kDirState] == kStateFirst &&
                     read_le32(d + kDirSize) == uint32_t(blocks * kBlockSize) &&
                     header[kHeaderBlocks] == blocks;
  FUZZ_CHECK(imported == whole);
  if (!imported) {
    FUZZ_CHECK(fresh->bytes == blank->bytes);
    return;
  }
  FUZZ_CHECK(!import_failure);
  FUZZ_CHECK(copied->bytes == fresh->bytes);
  // Slots 0.. of the new card hold the blocks in chain order, each frame a
  // copy of the exported one with its state and links set.
  for (int n = 0; n < blocks; ++n) {
    FUZZ_CHECK(std::equal(data_block(card, chain[n]), data_block(card, chain[n]) + kBlockSize,
                          data_block(*fresh, n)));
    const uint8_t* placed = directory_frame(*fresh, n);
    const uint8_t state = n == 0 ? kStateFirst : n == blocks - 1 ? kStateLast : kStateMiddle;
    FUZZ_CHECK(placed[kDirState] == state);
    FUZZ_CHECK(placed[kDirNext] == (n + 1 < blocks ? n + 1 : kEndOfChain));
    FUZZ_CHECK(std::equal(placed + 1, placed + kDirNext, d + 1));
    FUZZ_CHECK(std::equal(placed + kDirName, placed + kChecksumByte, d + kDirName));
    FUZZ_CHECK(!frame_is_bad(placed));
  }
  check_made_here(*fresh);
  auto table = std::make_unique<SlotTable>();
  FUZZ_CHECK(analyse_and_check(*fresh, *table, allow_corrupted));
  const bool shown = allow_corrupted || (header[0] == 'S' && header[1] == 'C' &&
                                         (header[kHeaderIconFlag] & 0xFC) == 0x10);
  FUZZ_CHECK(table->status[0] == (shown ? blocks : kSlotCorrupted));
  FUZZ_CHECK(table->used == (shown ? blocks : 0));
}

// Undelete either refuses and changes nothing, or flips free states back
// to in-use ones (with good checksums), rebuilds the links of a save whose
// links were cleared, and nothing else, as the listing of deleted saves
// said it could. A save whose links it rebuilt then analyses as a live save
// of its size field's block count. When it restores just what the delete
// freed, from frames that were good and links that were kept, the card is
// the original byte for byte.
void check_undelete(const CardImage& original, const CardImage& deleted, int slot,
                    const std::vector<int>& freed, bool links_cleared) {
  auto restored = std::make_unique<CardImage>(deleted);
  DeletedSave save;
  const Failure failure = undelete_save(*restored, slot, &save);
  bool listed_restorable = false;
  for (const DeletedSave& listed : deleted_saves(deleted))
    listed_restorable |= listed.first == slot && listed.has_first && listed.why_not.empty();
  FUZZ_CHECK(!failure == listed_restorable);
  if (failure) {
    FUZZ_CHECK(failure->text.compare(0, 17, "Cannot undelete s") == 0);
    FUZZ_CHECK(restored->bytes == deleted.bytes);
    return;
  }
  FUZZ_CHECK(save.first == slot && !save.slots.empty() && save.slots[0] == slot);
  std::vector<int> flipped;
  for (int s = 0; s < kSlotCount; ++s) {
    const uint8_t* before = directory_frame(deleted, s);
    const uint8_t* after = directory_frame(*restored, s);
    if (std::equal(before, before + kFrameSize, after)) continue;
    flipped.push_back(s);
    FUZZ_CHECK((before[kDirState] & 0xF0) == kFreeNibble);
    FUZZ_CHECK(after[kDirState] == (before[kDirState] ^ 0xF0));
    FUZZ_CHECK(std::equal(before + 1, before + kDirNext, after + 1));
    FUZZ_CHECK(std::equal(before + kDirName, before + kChecksumByte, after + kDirName));
    FUZZ_CHECK(!frame_is_bad(after));
    const auto at = std::find(save.slots.begin(), save.slots.end(), s);
    FUZZ_CHECK(at != save.slots.end());
    const bool relinked = save.links_rebuilt && at + 1 != save.slots.end();
    if (relinked)
      FUZZ_CHECK(before[kDirNext] == kEndOfChain && after[kDirNext] == *(at + 1) &&
                 after[kDirNext + 1] == 0);
    else
      FUZZ_CHECK(before[kDirNext] == after[kDirNext] && before[kDirNext + 1] == after[kDirNext + 1]);
  }
  const size_t directory_end = (kSlotCount + 1) * kFrameSize;
  std::vector<int> save_sorted = save.slots;
  std::sort(save_sorted.begin(), save_sorted.end());
  FUZZ_CHECK(flipped == save_sorted);
  FUZZ_CHECK(std::equal(restored->bytes.begin(), restored->bytes.begin() + kFrameSize,
                        deleted.bytes.begin()));
  FUZZ_CHECK(std::equal(restored->bytes.begin() + directory_end, restored->bytes.end(),
                        deleted.bytes.begin() + directory_end));
  FUZZ_CHECK(undelete_save(*restored, slot));  // no longer deleted
  if (save.links_rebuilt) {
    auto analysed = std::make_unique<CardImage>(*restored);
    make_loaded(*analysed);
    auto table = std::make_unique<SlotTable>();
    FUZZ_CHECK(analyse_and_check(*analysed, *table, false));
    const int blocks = int(save.slots.size());
    FUZZ_CHECK(DirectoryFrame{directory_frame(*restored, slot)}.size() ==
               uint32_t(blocks) * kBlockSize);
    FUZZ_CHECK(table->status[slot] == blocks);
    for (int n = 1; n < blocks; ++n)
      FUZZ_CHECK(table->status[save.slots[n]] == kSlotFurtherBlock &&
                 table->owner[save.slots[n]] == slot);
  }
  std::vector<int> freed_sorted = freed;
  std::sort(freed_sorted.begin(), freed_sorted.end());
  bool freed_frames_good = true;
  for (int s : freed) freed_frames_good &= !frame_is_bad(directory_frame(original, s));
  if (!links_cleared && flipped == freed_sorted && freed_frames_good)
    FUZZ_CHECK(restored->bytes == original.bytes);
}

bool taken_for_mcs(const std::vector<uint8_t>& bytes) {
  return bytes.size() >= kFrameSize && bytes[kDirState] == kStateFirst && !frame_is_bad(bytes.data());
}

// As PSX, PSV or raw, a save whose header fits its blocks imports into a new
// card with the same blocks and name (a raw file's name given by the user),
// and exports again to the same file.
void check_other_formats(const CardImage& card, int slot) {
  std::vector<int> chain;
  if (!chain_from(card, slot, chain)) return;  // refused whatever the format: check_export
  const int blocks = int(chain.size());
  const SaveHeader header{data_block(card, slot)};
  const std::string name = DirectoryFrame{directory_frame(card, slot)}.name();
  for (SaveFormat format : {SaveFormat::psx, SaveFormat::psv, SaveFormat::raw}) {
    std::vector<uint8_t> bytes;
    FUZZ_CHECK(!export_save(card, slot, format, bytes));
    auto fresh = std::make_unique<CardImage>();
    format_card(*fresh);
    FilePrefix file;
    file.bytes = bytes;
    file.length = bytes.size();
    int notices = 0;
    ImportQuestions questions;
    questions.import_ragged_file = [] { return false; };
    questions.name_raw_save = [] { return std::string("BASLUS-00000FUZZ"); };
    questions.notice = [&notices](const std::string&) { ++notices; };
    bool imported = false;
    const Failure failure = import_save_file(file, *fresh, 0, questions, imported);
    const bool fits = header.block_count() == blocks;
    const bool whole = format == SaveFormat::psv ||
                       (fits && header.has_magic() &&
                        (format == SaveFormat::psx ? !taken_for_mcs(bytes) : header.flag_well_formed()));
    if (!fits || !whole) continue;
    FUZZ_CHECK(imported && !failure);
    FUZZ_CHECK(notices == 0);  // the program's own PSV is signed
    for (int n = 0; n < blocks; ++n)
      FUZZ_CHECK(std::equal(data_block(card, chain[n]), data_block(card, chain[n]) + kBlockSize,
                            data_block(*fresh, n)));
    const bool named_by_user = format == SaveFormat::raw || name.empty();
    FUZZ_CHECK(DirectoryFrame{directory_frame(*fresh, 0)}.name() ==
               (named_by_user ? "BASLUS-00000FUZZ" : name));
    std::vector<uint8_t> again;
    FUZZ_CHECK(!export_save(*fresh, 0, format, again));
    if (!named_by_user || format == SaveFormat::raw) FUZZ_CHECK(again == bytes);
  }
}

void check_delete(const CardImage& card, int slot, bool allow_corrupted) {
  auto deleted = std::make_unique<CardImage>(card);
  delete_save(*deleted, slot);
  // The frames the walk frees: in use ones along the links, until a free
  // frame, a link out of the directory or one back to a slot already freed.
  std::vector<int> freed;
  for (int s = slot; s >= 0 && s < kSlotCount && !std::count(freed.begin(), freed.end(), s);) {
    const uint8_t* d = directory_frame(card, s);
    if ((d[kDirState] & 0xF0) != kInUseNibble) break;
    freed.push_back(s);
    s = d[kDirNext];
  }
  auto expected = std::make_unique<CardImage>(card);
  for (int s : freed) {
    uint8_t* d = directory_frame(*expected, s);
    d[kDirState] ^= 0xF0;
    store_checksum(d);
  }
  // Only the state bytes and checksums of those directory frames change.
  FUZZ_CHECK(deleted->bytes == expected->bytes);
  check_undelete(card, *deleted, slot, freed, false);
  // Deleted as DuckStation deletes, every link of the save cleared.
  auto cleared = std::make_unique<CardImage>(*deleted);
  for (int s : freed) {
    uint8_t* d = directory_frame(*cleared, s);
    d[kDirNext] = d[kDirNext + 1] = kEndOfChain;
    store_checksum(d);
  }
  check_undelete(card, *cleared, slot, freed, true);
  auto table = std::make_unique<SlotTable>();
  if (!analyse_and_check(*deleted, *table, allow_corrupted)) return;
  for (int s : freed) FUZZ_CHECK(table->status[s] == kSlotEmpty);
}

void check_exportable_status(const CardImage& card, int slot, bool allow_corrupted) {
  auto analysed = std::make_unique<CardImage>(card);
  auto table = std::make_unique<SlotTable>();
  if (!analyse_and_check(*analysed, *table, allow_corrupted)) return;
  const int status = table->status[slot];
  const Failure failure = check_exportable(*table, slot, allow_corrupted);
  if (status == kSlotEmpty)
    FUZZ_CHECK(text_of(failure) == "Empty Block !");
  else if (status == kSlotCorrupted && !allow_corrupted)
    FUZZ_CHECK(text_of(failure) == "Corrupted Block !");
  else
    FUZZ_CHECK(!failure);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  InputReader input(data, size);
  const int slot = input.byte() % kSlotCount;
  const uint8_t flags = input.byte();
  const bool allow_corrupted = flags & kAllowCorrupted;
  auto card = std::make_unique<CardImage>(card_from_prefix(input.rest()));
  if (flags & kLoadedHeader) make_loaded(*card);
  const auto before = std::make_unique<CardImage>(*card);

  check_export(*card, slot, allow_corrupted);
  check_other_formats(*card, slot);
  check_exportable_status(*card, slot, allow_corrupted);
  check_delete(*card, slot, allow_corrupted);
  FUZZ_CHECK(card->bytes == before->bytes);
  return 0;
}
