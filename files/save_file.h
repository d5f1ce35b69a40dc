// Single-save files. MCS: the save's directory frame, then its blocks in
// chain order. Raw (.bin): the blocks alone, starting with the "SC" header;
// its directory frame is built here and named by the user.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "card/analysis.h"
#include "card/card_image.h"
#include "card/failure.h"
#include "files/file_io.h"

// The largest save a header can describe: 255 blocks, plus an MCS frame.
constexpr size_t kMaxSaveFileBytes = kFrameSize + 255 * kBlockSize;
// A file must hold at least a frame and a save header's first four bytes.
constexpr size_t kMinSaveFileBytes = kFrameSize + 4;

struct SaveImport {
  uint8_t directory[kFrameSize] = {};  // the template every placed frame copies
  std::vector<uint8_t> data;           // whole blocks
  int blocks = 0;
};

// Reads at most kMaxSaveFileBytes of the file; longer files are refused by
// the size checks that follow, which only need their length.
Failure read_save_file(const std::string& path, FilePrefix& file);

// A file shorter than a frame and a header is neither format:
// "Wrong File Format !\n(no SC header)".
Failure check_long_enough(const FilePrefix& file);

// MCS when the first frame has a good checksum and state 0x51.
bool is_mcs(const FilePrefix& file);

// Size field, file length and header block count must agree.
Failure take_mcs(const FilePrefix& file, SaveImport& save);

// "SC" and a well formed icon flag.
Failure check_raw_header(const FilePrefix& file);
bool raw_is_whole_blocks(const FilePrefix& file);
// Pads a partial last block with zero bytes; the header's block count must
// match the padded size. The name is added by name_raw_save.
Failure take_raw(const FilePrefix& file, SaveImport& save);
void name_raw_save(SaveImport& save, const std::string& name);

// Places the save in free blocks unless the card's used blocks leave too
// little room; the card is unchanged on failure.
Failure import_save(CardImage& card, int used_blocks, const SaveImport& save);

// What an import asks the user along the way.
struct ImportQuestions {
  // "Binary File is not multiple of 8k !..." answered Yes.
  std::function<bool()> import_ragged_file;
  // The name of a raw save; "" when the user gave none.
  std::function<std::string()> name_raw_save;
};

// The whole import of a save file already read: the format tests, the
// questions, the room check and the placement. `imported` tells whether the
// card changed; a failure or a declined question leaves it as it was.
Failure import_save_file(const FilePrefix& file, CardImage& card, int used_blocks,
                         const ImportQuestions& questions, bool& imported);

// Refuses empty slots, and corrupted ones unless corrupted saves are allowed.
Failure check_exportable(const SlotTable& slots, int slot, bool allow_corrupted);

// The MCS bytes of the save starting at `slot`: its directory frame, then
// its blocks along the chain. A link outside the directory or back to a
// block already taken is "Corrupted Block !".
Failure export_save(const CardImage& card, int slot, std::vector<uint8_t>& mcs);
