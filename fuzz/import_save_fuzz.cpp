// The single-save import (MCS, PSX, PSV and raw files, with its two
// questions answered from the input) into any card, then the analysis that
// follows it.
//
// Input:
//   byte 0      flags: 1 allow corrupted saves, 2 answer Yes to "not multiple
//               of 8k", 4 give the raw save a name, 8 give the card a good
//               "MC" header frame, 16 the file is longer than the reader's
//               limit (its first bytes are the input's, then zeros)
//   bytes 1..3  the card's length L (little-endian, at most 131072)
//   byte 4      the name's length N (at most 24)
//   bytes 5..8  with flag 16: how far the file runs past the limit
//   then N bytes of name, L bytes laid over a formatted card, and the save
//   file: the rest of the input.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "card/editing.h"
#include "files/save_file.h"
#include "fuzz/fuzz_support.h"

namespace {

constexpr uint8_t kAllowCorrupted = 1;
constexpr uint8_t kAnswerYes = 2;
constexpr uint8_t kGiveName = 4;
constexpr uint8_t kLoadedHeader = 8;
constexpr uint8_t kHugeFile = 16;
constexpr size_t kLongestName = 24;

const char* const kNoScHeader = "Wrong File Format !\n(no SC header)";
const char* const kWrongMcsSize = "The MCS has a wrong size !";
const char* const kWrongRawSize = "SC Header do not correspond to file size !";

// What the import must do with a file, worked out from the file formats
// alone: the message, whether it asks each question, and the save it places.
struct Expected {
  std::string text;
  bool asks_ragged = false;
  bool asks_name = false;
  bool places = false;
  bool mcs = false;
  int blocks = 0;
  uint8_t directory[kFrameSize] = {};
  std::vector<uint8_t> data;
};

Expected expected_import(const FilePrefix& file, int used, bool yes, const std::string& name) {
  Expected e;
  const uint8_t* b = file.bytes.data();
  if (file.length < kFrameSize + 4) {
    e.text = kNoScHeader;
    return e;
  }
  uint8_t check = 0;
  for (size_t i = 0; i < kFrameSize - 1; ++i) check ^= b[i];
  e.mcs = check == b[kFrameSize - 1] && b[0] == 0x51;
  if (e.mcs) {
    const uint64_t data_size = file.length - kFrameSize;
    const uint32_t size_field = uint32_t(b[4] | b[5] << 8 | b[6] << 16 | uint32_t(b[7]) << 24);
    if (data_size % kBlockSize != 0 || size_field != data_size ||
        b[kFrameSize + 3] != data_size / kBlockSize) {
      e.text = kWrongMcsSize;
      return e;
    }
    e.blocks = b[kFrameSize + 3];
    std::memcpy(e.directory, b, kFrameSize);
    e.data.assign(file.bytes.begin() + kFrameSize, file.bytes.end());
  } else {
    if (b[0] != 'S' || b[1] != 'C' || (b[2] & 0xFC) != 0x10) {
      e.text = kNoScHeader;
      return e;
    }
    e.asks_ragged = file.length % kBlockSize != 0;
    if (e.asks_ragged && !yes) return e;
    const uint64_t blocks = (file.length + kBlockSize - 1) / kBlockSize;
    if (b[3] != blocks) {
      e.text = kWrongRawSize;
      return e;
    }
    e.asks_name = true;
    if (name.empty()) return e;
    e.blocks = b[3];
    e.directory[0] = 0x51;
    const uint32_t size = uint32_t(blocks * kBlockSize);
    for (int i = 0; i < 4; ++i) e.directory[4 + i] = uint8_t(size >> (8 * i));
    std::memcpy(e.directory + 10, name.data(), std::min<size_t>(name.size(), 20));
    e.data = file.bytes;
    e.data.resize(size, 0);
  }
  if (e.blocks + used > kSlotCount) {
    e.text = not_enough_space(e.blocks).text;
    return e;
  }
  e.places = true;  // unless the card has too few free frames: the caller knows
  return e;
}

// The slots a save of `blocks` blocks goes to: the lowest free ones.
std::vector<int> free_slots(const CardImage& card, int blocks) {
  std::vector<int> slots;
  for (int slot = 0; slot < kSlotCount && int(slots.size()) < blocks; ++slot)
    if ((directory_frame(card, slot)[kDirState] & 0xF0) == kFreeNibble) slots.push_back(slot);
  return slots;
}

// Whether a directory frame outside `slots` links into one of them: a chain
// of another save could then run through the new save's blocks.
bool linked_from_outside(const CardImage& card, const std::vector<int>& slots) {
  for (int slot = 0; slot < kSlotCount; ++slot) {
    if (std::count(slots.begin(), slots.end(), slot)) continue;
    if (std::count(slots.begin(), slots.end(), directory_frame(card, slot)[kDirNext])) return true;
  }
  return false;
}

void check_placed(const CardImage& before, const CardImage& card, const Expected& e,
                  const std::vector<int>& slots) {
  CardImage placed = before;
  for (int n = 0; n < e.blocks; ++n) {
    uint8_t* d = directory_frame(placed, slots[n]);
    std::memcpy(d, e.directory, kFrameSize);
    d[kDirState] = n == 0 ? kStateFirst : n == e.blocks - 1 ? kStateLast : kStateMiddle;
    d[kDirNext] = n + 1 < e.blocks ? uint8_t(slots[n + 1]) : kEndOfChain;
    d[kDirNext + 1] = n + 1 < e.blocks ? 0 : kEndOfChain;
    store_checksum(d);
    std::memcpy(data_block(placed, slots[n]), e.data.data() + n * kBlockSize, kBlockSize);
  }
  FUZZ_CHECK(card.bytes == placed.bytes);
}

bool sc_at(const FilePrefix& file, size_t at) {
  return file.bytes.size() >= at + 2 && file.bytes[at] == 'S' && file.bytes[at + 1] == 'C';
}

// The formats whose header holds the save's name: PSV by its magic, the
// 54-byte family by "SC" where its header ends (unless a raw save's "SC"
// begins the file and its length is not a header and whole blocks).
size_t name_header_size(const FilePrefix& file, bool mcs) {
  const uint8_t psv[4] = {0x00, 'V', 'S', 'P'};
  if (file.bytes.size() >= kPsvHeaderSize && std::memcmp(file.bytes.data(), psv, 4) == 0)
    return kPsvHeaderSize;
  if (!mcs && sc_at(file, kPsxHeaderSize) &&
      (!sc_at(file, 0) || (file.length > kPsxHeaderSize && (file.length - kPsxHeaderSize) % kBlockSize == 0)))
    return kPsxHeaderSize;
  return 0;
}

// A PSV or PSX file: either refused with a message (or for want of a name),
// the card untouched, or its blocks placed under the header's name.
void check_named_header_import(const FilePrefix& file, size_t header, const CardImage& before,
                               const CardImage& card, const Failure& failure, bool imported,
                               int name_questions, const std::string& given_name) {
  if (!imported) {
    FUZZ_CHECK(card.bytes == before.bytes);
    const std::string text = text_of(failure);
    FUZZ_CHECK(text == "The PSV has a wrong size !" || text == "The save file has a wrong size !" ||
               text.find("PS2") != std::string::npos ||
               text.find("Not enough space") == 0 || (text.empty() && name_questions == 1));
    return;
  }
  FUZZ_CHECK(!failure);
  FUZZ_CHECK(file.length == file.bytes.size() && (file.length - header) % kBlockSize == 0);
  const int blocks = int((file.length - header) / kBlockSize);
  FUZZ_CHECK(blocks >= 1 && file.bytes[header + kHeaderBlocks] == blocks);
  if (header == kPsvHeaderSize) {
    FUZZ_CHECK(read_le32(file.bytes.data() + kPsvType) == kPsvPs1Save);
    FUZZ_CHECK(read_le32(file.bytes.data() + kPsvSaveSize) == uint32_t(blocks) * kBlockSize);
  }
  const size_t name_at = header == kPsvHeaderSize ? kPsvName : 0;
  const char* name_bytes = reinterpret_cast<const char*>(file.bytes.data() + name_at);
  std::string name(name_bytes, strnlen(name_bytes, kSaveNameMax));
  FUZZ_CHECK(name_questions == int(name.empty()));
  if (name.empty()) name = given_name.substr(0, kSaveNameMax);
  Expected e;
  e.blocks = blocks;
  e.directory[kDirState] = kStateFirst;
  write_le32(e.directory + kDirSize, uint32_t(blocks) * kBlockSize);
  std::memcpy(e.directory + kDirName, name.data(), name.size());
  e.data.assign(file.bytes.begin() + header, file.bytes.end());
  check_placed(before, card, e, free_slots(before, blocks));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  InputReader input(data, size);
  const uint8_t flags = input.byte();
  const size_t card_length = std::min<size_t>(input.le24(), kCardSize);
  const size_t name_length = std::min<size_t>(input.byte(), kLongestName);
  const uint32_t beyond_limit = flags & kHugeFile ? input.le32() : 0;
  const std::vector<uint8_t> name_bytes = input.bytes(name_length);
  const std::string name(name_bytes.begin(), name_bytes.end());
  CardImage card = card_from_prefix(input.bytes(card_length));
  if (flags & kLoadedHeader) make_loaded(card);
  const bool allow_corrupted = flags & kAllowCorrupted;

  // The reader keeps at most kMaxSaveFileBytes of a file and its true length.
  FilePrefix file;
  file.bytes = input.rest();
  file.length = file.bytes.size();
  if (flags & kHugeFile) {
    file.bytes.resize(kMaxSaveFileBytes, 0);
    file.length = kMaxSaveFileBytes + 1 + uint64_t(beyond_limit);
  }
  file.bytes.resize(std::min<size_t>(file.bytes.size(), kMaxSaveFileBytes));

  auto table = std::make_unique<SlotTable>();
  // The command needs a loaded card, which an analysis that failed unloads.
  if (!analyse_and_check(card, *table, allow_corrupted)) return 0;
  const CardImage before = card;
  const auto table_before = std::make_unique<SlotTable>(*table);

  int ragged_questions = 0;
  int name_questions = 0;
  ImportQuestions questions;
  questions.import_ragged_file = [&] {
    ++ragged_questions;
    return (flags & kAnswerYes) != 0;
  };
  questions.name_raw_save = [&] {
    ++name_questions;
    return flags & kGiveName ? name : std::string();
  };
  int notices = 0;
  questions.notice = [&](const std::string&) { ++notices; };
  bool imported = true;
  const Failure failure = import_save_file(file, card, table->used, questions, imported);

  Expected e =
      expected_import(file, table->used, flags & kAnswerYes, flags & kGiveName ? name : "");
  const size_t name_header = file.length < kMinSaveFileBytes ? 0 : name_header_size(file, e.mcs);
  FUZZ_CHECK(notices == 0 || name_header == kPsvHeaderSize);
  if (name_header) {
    FUZZ_CHECK(ragged_questions == 0 && notices <= 1);
    check_named_header_import(file, name_header, before, card, failure, imported, name_questions,
                              flags & kGiveName ? name : "");
    if (imported) FUZZ_CHECK(analyse_and_check(card, *table, allow_corrupted));
    return 0;
  }
  const std::vector<int> slots = free_slots(before, e.blocks);
  if (e.places && int(slots.size()) < e.blocks) {
    e.places = false;  // frames that are neither free nor counted as used
    e.text = not_enough_space(e.blocks).text;
  }
  FUZZ_CHECK(text_of(failure) == e.text);
  FUZZ_CHECK(imported == e.places);
  FUZZ_CHECK(ragged_questions == int(e.asks_ragged));
  FUZZ_CHECK(name_questions == int(e.asks_name));
  if (!imported) {
    // A refused or abandoned import leaves the card byte for byte.
    FUZZ_CHECK(card.bytes == before.bytes);
    return 0;
  }
  check_placed(before, card, e, slots);

  // The analysis after the import shows the save with its block count.
  FUZZ_CHECK(analyse_and_check(card, *table, allow_corrupted));
  const uint8_t* header = e.data.data();
  const bool shown = allow_corrupted || (header[0] == 'S' && header[1] == 'C' &&
                                         (header[kHeaderIconFlag] & 0xFC) == 0x10);
  FUZZ_CHECK(table->status[slots[0]] == (shown ? e.blocks : kSlotCorrupted));
  for (int n = 1; n < e.blocks && shown; ++n)
    FUZZ_CHECK(table->status[slots[n]] == kSlotFurtherBlock);
  if (!linked_from_outside(before, slots)) {
    // No other chain runs into the new blocks: nothing else changed, and the
    // used count grew by the save's blocks (or by none when its header does
    // not let it show).
    for (int n = 1; n < e.blocks && !shown; ++n)
      FUZZ_CHECK(table->status[slots[n]] == kSlotCorrupted);
    FUZZ_CHECK(table->used == table_before->used + (shown ? e.blocks : 0));
    for (int slot = 0; slot < kSlotCount; ++slot) {
      if (std::count(slots.begin(), slots.end(), slot)) continue;
      FUZZ_CHECK(table->status[slot] == table_before->status[slot]);
      FUZZ_CHECK(table->owner[slot] == table_before->owner[slot]);
    }
  }
  return 0;
}
