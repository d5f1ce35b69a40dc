#include "files/save_file.h"

#include <algorithm>
#include <cstring>

#include "card/editing.h"

namespace {

const char* const kNoScHeader = "Wrong File Format !\n(no SC header)";

}  // namespace

Failure read_save_file(const std::string& path, FilePrefix& file) {
  Failure failure = read_file_prefix(path, kMaxSaveFileBytes, file);
  // A save file cut short while it was read is judged by the bytes that
  // arrived: the size checks that follow refuse it unless they still agree.
  if (!failure && !file.whole) file.length = file.bytes.size();
  return failure;
}

Failure check_long_enough(const FilePrefix& file) {
  if (file.length < kMinSaveFileBytes) return fail(kNoScHeader, "File Error");
  return std::nullopt;
}

bool is_mcs(const FilePrefix& file) {
  return file.bytes.size() >= kFrameSize && !frame_is_bad(file.bytes.data()) &&
         file.bytes[kDirState] == kStateFirst;
}

Failure take_mcs(const FilePrefix& file, SaveImport& save) {
  const uint64_t data_size = file.length - kFrameSize;
  const uint8_t* b = file.bytes.data();
  if (data_size % kBlockSize != 0 || read_le32(b + kDirSize) != data_size ||
      b[kFrameSize + kHeaderBlocks] != data_size / kBlockSize)
    return fail("The MCS has a wrong size !", "File Error");
  // The checks bound the length to 255 blocks, all of which were read.
  std::memcpy(save.directory, b, kFrameSize);
  save.data.assign(file.bytes.begin() + kFrameSize, file.bytes.end());
  save.blocks = b[kFrameSize + kHeaderBlocks];
  return std::nullopt;
}

Failure check_raw_header(const FilePrefix& file) {
  const SaveHeader header{file.bytes.data()};
  if (!header.has_magic() || !header.flag_well_formed()) return fail(kNoScHeader, "File Error");
  return std::nullopt;
}

bool raw_is_whole_blocks(const FilePrefix& file) { return file.length % kBlockSize == 0; }

Failure take_raw(const FilePrefix& file, SaveImport& save) {
  const uint64_t size = (file.length + kBlockSize - 1) / kBlockSize * kBlockSize;
  const uint8_t blocks = file.bytes[kHeaderBlocks];
  if (blocks != size / kBlockSize)
    return fail("SC Header do not correspond to file size !", "File Error");
  std::memset(save.directory, 0, kFrameSize);
  save.directory[kDirState] = kStateFirst;
  write_le32(save.directory + kDirSize, uint32_t(size));
  save.data.assign(size_t(size), 0);
  std::copy(file.bytes.begin(), file.bytes.end(), save.data.begin());
  save.blocks = blocks;
  return std::nullopt;
}

void name_raw_save(SaveImport& save, const std::string& name) {
  std::memset(save.directory + kDirName, 0, kSaveNameMax);
  std::memcpy(save.directory + kDirName, name.data(), std::min(name.size(), kSaveNameMax));
}

Failure import_save(CardImage& card, int used_blocks, const SaveImport& save) {
  if (save.blocks + used_blocks > kSlotCount) return not_enough_space(save.blocks);
  return place_save(card, save.directory, save.data.data(), save.data.size());
}

Failure import_save_file(const FilePrefix& file, CardImage& card, int used_blocks,
                         const ImportQuestions& questions, bool& imported) {
  imported = false;
  if (Failure failure = check_long_enough(file)) return failure;
  SaveImport save;
  if (is_mcs(file)) {
    if (Failure failure = take_mcs(file, save)) return failure;
  } else {
    if (Failure failure = check_raw_header(file)) return failure;
    if (!raw_is_whole_blocks(file) && !questions.import_ragged_file()) return std::nullopt;
    if (Failure failure = take_raw(file, save)) return failure;
    const std::string name = questions.name_raw_save();
    if (name.empty()) return std::nullopt;
    name_raw_save(save, name);
  }
  if (Failure failure = import_save(card, used_blocks, save)) return failure;
  imported = true;
  return std::nullopt;
}

Failure check_exportable(const SlotTable& slots, int slot, bool allow_corrupted) {
  if (slots.status[slot] == kSlotCorrupted && !allow_corrupted)
    return fail("Corrupted Block !", "Cannot Export");
  if (slots.status[slot] == kSlotEmpty) return fail("Empty Block !", "Cannot Export");
  return std::nullopt;
}

Failure export_save(const CardImage& card, int slot, std::vector<uint8_t>& mcs) {
  const uint8_t* first = directory_frame(card, slot);
  mcs.assign(first, first + kFrameSize);
  bool taken[kSlotCount] = {};
  for (;;) {
    taken[slot] = true;
    const uint8_t* block_bytes = data_block(card, slot);
    mcs.insert(mcs.end(), block_bytes, block_bytes + kBlockSize);
    const int next = directory_frame(card, slot)[kDirNext];
    if (next == kEndOfChain) return std::nullopt;
    if (next >= kSlotCount || taken[next]) {
      mcs.clear();
      return fail("Corrupted Block !", "Cannot Export");
    }
    slot = next;
  }
}
