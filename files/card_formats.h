// The card image file formats a card owner meets, recognised by content and
// size, never by extension alone (.bin, .psx and .mem each mean different
// things to different tools):
//   raw        131072 bytes, the card byte for byte (.mcr, .mcd, .srm, ...)
//   GME        DexDrive: a 3904-byte header, then the card; files shared
//              online often have a zeroed header or lack unused tail blocks
//   VGS        Connectix Virtual Game Station: a 64-byte header
//   VMP        PSP and PS Vita (SCEVMC0.VMP): a 128-byte header whose
//              signature the console checks
//   magazine   the PlayStation Magazine's card: a 256-byte header
// The encrypted PS Vita PocketStation card and PS2 cards are refused with a
// message naming them.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "card/analysis.h"
#include "card/card_image.h"
#include "card/failure.h"
#include "files/file_io.h"

enum class CardFormat { raw, gme, vgs, vmp, magazine };

constexpr size_t kGmeHeaderSize = 3904;
constexpr size_t kGmeFileSize = kGmeHeaderSize + kCardSize;       // 134976
constexpr size_t kVgsHeaderSize = 64;
constexpr size_t kVgsFileSize = kVgsHeaderSize + kCardSize;       // 131136
constexpr size_t kVmpHeaderSize = 0x80;
constexpr size_t kVmpFileSize = kVmpHeaderSize + kCardSize;       // 131200
constexpr size_t kMcxFileSize = 0x200A0;                          // 131232, encrypted whole
constexpr size_t kMagazineHeaderSize = 256;
constexpr size_t kMagazineFileSize = kMagazineHeaderSize + kCardSize;  // 131328
// No card file format is longer; nothing past it is read.
constexpr size_t kLargestCardFile = kGmeFileSize;
constexpr size_t kGmeCommentSize = 256;

// A GME file keeps a comment beside each slot. It belongs to the save whose
// first block the slot held when it was read, and is written again only
// while the slot holds a first block of that name: a deleted save's comment
// goes with it, a save placed later starts without one.
struct SaveComment {
  std::string save_name;
  std::string text;  // the file's bytes, up to 255
};

// What a card file holds besides the card.
struct CardFileInfo {
  CardFormat format = CardFormat::raw;
  SaveComment comments[kSlotCount];
  // A magazine card's header, kept as read: what it means is not known.
  std::vector<uint8_t> magazine_header;
  // A VMP whose signature is not its own: a PSP or PS Vita shows the card
  // as empty. The card opened all the same.
  bool signature_wrong = false;
  // What the user should be told about the file; the card opened all the same.
  std::string notice;
};

// "raw", "gme", "vgs", "vmp", "magazine".
const char* card_format_name(CardFormat format);
// The formats a card can be written in, by the names above (not magazine).
std::optional<CardFormat> writable_card_format(const std::string& name);
// The format a file name's extension asks for: .gme, .mem or .vgs, .vmp
// (any case); raw otherwise.
CardFormat card_format_for_path(const std::string& path);

// The bytes is_card_file needs of a file's start.
constexpr size_t kCardFileTagBytes = 12;
// Whether a file is a card image rather than a single save, by its length
// and its first kCardFileTagBytes bytes: as long as a card or longer (no save
// file is), or a DexDrive file cut short after some blocks.
bool is_card_file(const FilePrefix& file);

// Recognises the file and takes its card. On failure the card and the info
// are left as they were: "Wrong file size !" for a file too short for any
// format, or one whose read came short; a message naming the PocketStation
// card or a PS2 card image.
Failure decode_card_file(const FilePrefix& file, CardImage& card, CardFileInfo& info);

// The file's bytes in info.format: headers rebuilt from the card, a VMP
// signed with a seed drawn from the card (the same card, the same file).
Failure encode_card_file(const CardImage& card, const CardFileInfo& info, std::vector<uint8_t>& bytes);

// The comment of the save in `slot`, "" when it has none or the slot no
// longer holds the save the comment was written for.
std::string comment_of(const CardImage& card, const CardFileInfo& info, int slot);
// Gives the save whose first block is in `slot` a comment.
void set_comment(const CardImage& card, CardFileInfo& info, int slot, const std::string& text);

// The comment a user gives a save of a GME file (an empty text clears it).
// Refused, `info` unchanged: a file of another format ("... keep no
// comments"), a slot without a save's first block, a text longer than the
// file's 255 bytes or holding a control character, which the file (and the
// programs reading it) cannot hold.
Failure edit_comment(const CardImage& card, CardFileInfo& info, int slot, const std::string& text);

// rename_save (card/rename.h) with the save's comment following it: a GME
// file keeps a comment beside its save by the save's name.
Failure rename_save_keeping_comment(CardImage& card, CardFileInfo& info, const SlotTable& slots, int first,
                                    const std::string& name);

// Whether writing the card in `format` loses a comment the file held for a
// save still on the card; the front ends say so once, with this text.
bool comments_lost(const CardImage& card, const CardFileInfo& info, CardFormat format);
inline const char kCommentsNotKept[] =
    "The GME comments of the saves are not kept: only a GME file holds them.";
