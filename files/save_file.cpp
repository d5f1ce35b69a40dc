#include "files/save_file.h"

#include <algorithm>
#include <cstring>

#include "card/editing.h"
#include "card/slot_text.h"

namespace {

const char* const kNoScHeader = "Wrong File Format !\n(no SC header)";

bool has_sc_at(const FilePrefix& file, size_t at) {
  return file.bytes.size() >= at + 2 && file.bytes[at] == 'S' && file.bytes[at + 1] == 'C';
}

// The directory frame a save file without one stands for: a first block of
// `blocks` blocks with the given name.
void build_directory(SaveImport& save, size_t blocks, const std::string& name) {
  std::memset(save.directory, 0, kFrameSize);
  save.directory[kDirState] = kStateFirst;
  write_le32(save.directory + kDirSize, uint32_t(blocks * kBlockSize));
  std::memcpy(save.directory + kDirName, name.data(), std::min(name.size(), kSaveNameMax));
}

std::string name_at(const FilePrefix& file, size_t at) {
  const char* start = reinterpret_cast<const char*>(file.bytes.data() + at);
  const void* end = std::memchr(start, 0, kSaveNameMax);
  return std::string(start, end ? static_cast<const char*>(end) - start : kSaveNameMax);
}

// Takes the blocks that follow a header of `header` bytes, whose count the
// file's length gives; false when the length, the header's block count and
// `size_field` (when the format has one) disagree.
bool take_blocks(const FilePrefix& file, size_t header, uint64_t size_field, SaveImport& save) {
  if (file.length <= header) return false;
  const uint64_t size = file.length - header;
  if (size % kBlockSize != 0 || size != size_field || file.bytes.size() != file.length) return false;
  if (file.bytes[header + kHeaderBlocks] != size / kBlockSize) return false;
  save.data.assign(file.bytes.begin() + header, file.bytes.end());
  save.blocks = int(size / kBlockSize);
  return true;
}

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

bool is_psv(const FilePrefix& file) {
  return file.bytes.size() >= kPsvHeaderSize &&
         std::memcmp(file.bytes.data(), kPsvMagic, sizeof kPsvMagic) == 0;
}

Failure take_psv(const FilePrefix& file, SaveImport& save, std::string& notice) {
  const uint8_t* b = file.bytes.data();
  if (read_le32(b + kPsvType) != kPsvPs1Save)
    return fail("This PSV file holds no PS1 save (a PS2 save?): it is not read.", "File Error");
  if (!take_blocks(file, kPsvHeaderSize, read_le32(b + kPsvSaveSize), save))
    return fail("The PSV has a wrong size !", "File Error");
  build_directory(save, size_t(save.blocks), name_at(file, kPsvName));
  if (!ps1_signature_holds(b, file.bytes.size(), kPsvSignature))
    notice = "The signature of this PSV file is wrong: a PS3 would say the data is corrupted.\n"
             "The save is imported as it is.";
  return std::nullopt;
}

bool is_psx(const FilePrefix& file) {
  // A name may itself begin with "SC": a length of whole blocks after the
  // header, which no raw save has, then decides.
  return has_sc_at(file, kPsxHeaderSize) &&
         (!has_sc_at(file, 0) ||
          (file.length > kPsxHeaderSize && (file.length - kPsxHeaderSize) % kBlockSize == 0));
}

Failure take_psx(const FilePrefix& file, SaveImport& save) {
  if (!take_blocks(file, kPsxHeaderSize, file.length - kPsxHeaderSize, save))
    return fail("The save file has a wrong size !", "File Error");
  build_directory(save, size_t(save.blocks), name_at(file, 0));
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
  build_directory(save, size_t(size / kBlockSize), "");
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

SaveFormat save_file_format(const FilePrefix& file) {
  if (is_psv(file)) return SaveFormat::psv;
  if (is_mcs(file)) return SaveFormat::mcs;
  if (is_psx(file)) return SaveFormat::psx;
  return SaveFormat::raw;
}

Failure take_save_file(const FilePrefix& file, const ImportQuestions& questions, SaveImport& save,
                       bool& taken) {
  taken = false;
  if (Failure failure = check_long_enough(file)) return failure;
  switch (save_file_format(file)) {
    case SaveFormat::psv: {
      std::string notice;
      if (Failure failure = take_psv(file, save, notice)) return failure;
      if (!notice.empty() && questions.notice) questions.notice(notice);
      break;
    }
    case SaveFormat::mcs:
      if (Failure failure = take_mcs(file, save)) return failure;
      break;
    case SaveFormat::psx:
      if (Failure failure = take_psx(file, save)) return failure;
      break;
    case SaveFormat::raw:
      if (Failure failure = check_raw_header(file)) return failure;
      if (!raw_is_whole_blocks(file) && !questions.import_ragged_file()) return std::nullopt;
      if (Failure failure = take_raw(file, save)) return failure;
      break;
  }
  taken = true;
  return std::nullopt;
}

bool save_needs_name(SaveFormat format, const SaveImport& save) {
  return format != SaveFormat::mcs && DirectoryFrame{save.directory}.name().empty();
}

Failure import_save_file(const FilePrefix& file, CardImage& card, int used_blocks,
                         const ImportQuestions& questions, bool& imported) {
  imported = false;
  SaveImport save;
  bool taken = false;
  if (Failure failure = take_save_file(file, questions, save, taken)) return failure;
  if (!taken) return std::nullopt;
  if (save_needs_name(save_file_format(file), save)) {
    const std::string name = questions.name_raw_save();
    if (name.empty()) return std::nullopt;
    name_raw_save(save, name);
  }
  if (Failure failure = import_save(card, used_blocks, save)) return failure;
  imported = true;
  return std::nullopt;
}

bool looks_like_save_file(const FilePrefix& file) {
  if (check_long_enough(file)) return false;
  return save_file_format(file) != SaveFormat::raw || !check_raw_header(file);
}

Failure summarise_save_file(const FilePrefix& file, const std::string& path, SaveFileSummary& out) {
  out = SaveFileSummary{};
  out.format = save_file_format(file);
  ImportQuestions questions;
  questions.import_ragged_file = [&out, &file] {
    out.notice = "Binary File is not multiple of 8k ! (" + std::to_string(file.length) +
                 " bytes): an import asks first, then fills the rest of its last block with zeros.";
    return true;
  };
  SaveImport save;
  bool taken = false;
  if (Failure failure = take_save_file(file, questions, save, taken)) return failure;
  if (save_needs_name(out.format, save)) {
    name_raw_save(save, save_name_in_file_name(path));
    out.named_by_file_name = !DirectoryFrame{save.directory}.name().empty();
  }
  out.name = DirectoryFrame{save.directory}.name();
  out.title = title_bytes(save.data.data());
  out.blocks = save.blocks;
  if (!out.name.empty()) {
    out.info = info_line(save.directory, save.blocks);
    out.region = region_name(out.name[1]);
  }
  out.signed_format = out.format == SaveFormat::psv;
  out.signature_holds =
      out.signed_format && ps1_signature_holds(file.bytes.data(), file.bytes.size(), kPsvSignature);
  return std::nullopt;
}

Failure name_ps2_container(const std::string& path, Failure failure) {
  const std::string container = ps2_container_named(path);
  if (!failure || failure->text != kNoScHeader || container.empty()) return failure;
  return fail("This is a PS2 save (" + container + "), which this program does not read.", "File Error");
}

Failure check_exportable(const SlotTable& slots, int slot, bool allow_corrupted) {
  if (slots.status[slot] == kSlotCorrupted && !allow_corrupted)
    return fail("Corrupted Block !", "Cannot Export");
  if (slots.status[slot] == kSlotEmpty) return fail("Empty Block !", "Cannot Export");
  return std::nullopt;
}

Failure take_save(const CardImage& card, int slot, SaveImport& save) {
  std::memcpy(save.directory, directory_frame(card, slot), kFrameSize);
  save.data.clear();
  save.blocks = 0;
  bool taken[kSlotCount] = {};
  for (;;) {
    taken[slot] = true;
    const uint8_t* block_bytes = data_block(card, slot);
    save.data.insert(save.data.end(), block_bytes, block_bytes + kBlockSize);
    ++save.blocks;
    const int next = directory_frame(card, slot)[kDirNext];
    if (next == kEndOfChain) return std::nullopt;
    if (next >= kSlotCount || taken[next]) {
      save.data.clear();
      save.blocks = 0;
      return fail("Corrupted Block !", "Cannot Export");
    }
    slot = next;
  }
}

std::string exported_file_name(const CardImage& card, int slot, SaveFormat format) {
  const std::string name = DirectoryFrame{directory_frame(card, slot)}.name();
  return save_file_name(name.empty() ? "slot " + std::to_string(slot + 1) : name, format);
}

Failure export_save(const CardImage& card, int slot, SaveFormat format, std::vector<uint8_t>& bytes) {
  SaveImport save;
  Failure failure = take_save(card, slot, save);
  if (!failure) failure = encode_save_file(save.directory, save.data, format, bytes);
  if (failure) bytes.clear();
  return failure;
}

Failure export_save(const CardImage& card, int slot, std::vector<uint8_t>& mcs) {
  return export_save(card, slot, SaveFormat::mcs, mcs);
}
