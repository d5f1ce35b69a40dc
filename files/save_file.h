// Importing and exporting single saves, in every format of save_formats.h.
// MCS: the save's directory frame, then its blocks in chain order. PSX and
// PSV: a header with the save's name, then its blocks. Raw (.bin): the
// blocks alone, starting with the "SC" header. Each is recognised by its
// content; the directory frame is built here for every format but MCS, and
// a save whose file holds no name is named by the user.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "card/analysis.h"
#include "card/card_image.h"
#include "card/failure.h"
#include "files/file_io.h"
#include "files/save_formats.h"

// The largest save a header can describe: 255 blocks, plus a PSV header
// (the largest of the formats' headers).
constexpr size_t kMaxSaveFileBytes = kPsvHeaderSize + 255 * kBlockSize;
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

// PSV by its magic: a PS1 save (type 1) whose size field, length and header
// block count agree ("The PSV has a wrong size !"); any other type is
// refused as no PS1 save. A wrong signature is only told: the card does not
// check it. `notice` receives what the user should be told.
bool is_psv(const FilePrefix& file);
Failure take_psv(const FilePrefix& file, SaveImport& save, std::string& notice);

// The 54-byte header family: "SC" at byte 54, and either none at byte 0 (a
// raw save's) or a length of whole blocks after the header; its length and
// header block count must agree ("The save file has a wrong size !").
bool is_psx(const FilePrefix& file);
Failure take_psx(const FilePrefix& file, SaveImport& save);

// Places the save in free blocks unless the card's used blocks leave too
// little room; the card is unchanged on failure.
Failure import_save(CardImage& card, int used_blocks, const SaveImport& save);

// What an import asks the user along the way.
struct ImportQuestions {
  // "Binary File is not multiple of 8k !..." answered Yes.
  std::function<bool()> import_ragged_file;
  // The name of a raw save, or of one whose file holds an empty name; ""
  // when the user gave none.
  std::function<std::string()> name_raw_save;
  // Told what the user should know, the import going on (a PSV's wrong
  // signature); may be left empty.
  std::function<void(const std::string&)> notice;
};

// The format a save file's content says it is (not its extension): PSV by
// its magic, MCS by its first frame, the 54-byte family by "SC" at its end,
// raw otherwise.
SaveFormat save_file_format(const FilePrefix& file);

// The save a file holds, as the import takes it: the format tests, the
// question about a ragged raw file and the notice, not yet named. `taken`
// is false when the question was declined.
Failure take_save_file(const FilePrefix& file, const ImportQuestions& questions, SaveImport& save,
                       bool& taken);
// A save taken from a file without a name of its own (raw, or a PSX or PSV
// header whose name is empty) must be named; an MCS frame is taken as it
// is, whatever its name.
bool save_needs_name(SaveFormat format, const SaveImport& save);

// The whole import of a save file already read: take_save_file, the name
// when it needs one, the room check and the placement. `imported` tells whether the card changed; a
// failure or a declined question leaves it as it was.
Failure import_save_file(const FilePrefix& file, CardImage& card, int used_blocks,
                         const ImportQuestions& questions, bool& imported);

// What a single-save file holds, as "list" shows it.
struct SaveFileSummary {
  SaveFormat format = SaveFormat::raw;
  // As the import names the save: the file's own, or for a raw save (or a
  // header whose name is empty) the one its file name holds; "" when the
  // import would ask for one.
  std::string name;
  bool named_by_file_name = false;
  std::string title;  // Shift-JIS bytes, up to the first zero
  int blocks = 0;
  std::string info;    // the window's information line, from the name
  std::string region;  // "Japan", "America", "Europe"; "" without a name
  bool signed_format = false;   // a PSV, which a PS3 checks
  bool signature_holds = false;
  std::string notice;  // what the import would ask or tell
};

// True when the file is long enough and begins as a save file of some
// format does: the summary or its failure then concerns a save file.
bool looks_like_save_file(const FilePrefix& file);
// `path` is the file's name, which may name a raw save. Fails as the import
// would ("The MCS has a wrong size !", ...).
Failure summarise_save_file(const FilePrefix& file, const std::string& path, SaveFileSummary& out);

// A refusal for want of any PS1 format's header names the PS2 save
// container the file's name says it is, if any; other failures pass.
Failure name_ps2_container(const std::string& path, Failure failure);

// Refuses empty slots, and corrupted ones unless corrupted saves are allowed.
Failure check_exportable(const SlotTable& slots, int slot, bool allow_corrupted);

// The save starting at `slot` as an import takes it: its directory frame as
// the card holds it and its blocks along the chain. A link outside the
// directory or back to a block already taken is "Corrupted Block !".
Failure take_save(const CardImage& card, int slot, SaveImport& save);

// The name of the file a save is exported to in a folder: its save name
// ("slot N" when it has none) as save_file_name makes it.
std::string exported_file_name(const CardImage& card, int slot, SaveFormat format);

// The save starting at `slot` as a file of the given format (MCS when none
// is given), walked as take_save walks it.
Failure export_save(const CardImage& card, int slot, SaveFormat format, std::vector<uint8_t>& bytes);
Failure export_save(const CardImage& card, int slot, std::vector<uint8_t>& mcs);
