// The single-save file formats a card owner meets, and the names files get:
//   MCS (.mcs, .ps1)   the save's first directory frame, then its blocks
//   PSX (.psx, .mcb, .mcx, .pda: Action Replay, Xploder, Smart Link,
//        Datel)       a 54-byte header (name, title), then the blocks
//   PSV (.psv)         a PS3 export: a 0x84-byte header the PS3 checks by
//                      its signature, then the blocks
//   raw                the blocks alone; the file name stands for the name
// Reading them is the import of save_file.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "card/card_image.h"
#include "card/failure.h"
#include "files/ps1_signature.h"

enum class SaveFormat { mcs, psx, psv, raw };

// The 54-byte header: the name (20 characters and a NUL), then the title
// (32 bytes and a NUL); the save header "SC" follows at byte 54.
constexpr size_t kPsxHeaderSize = 54;
constexpr size_t kPsxTitle = 0x15;
constexpr size_t kPsxTitleMax = 32;

// The PS3's header of a PS1 save.
constexpr size_t kPsvHeaderSize = 0x84;
constexpr uint8_t kPsvMagic[4] = {0x00, 'V', 'S', 'P'};
constexpr SignatureLayout kPsvSignature = {0x08, 0x1C};
constexpr size_t kPsvConstant38 = 0x38;  // u32 0x14
constexpr size_t kPsvType = 0x3C;        // u32: 1 a PS1 save, 2 a PS2 save
constexpr uint32_t kPsvPs1Save = 1;
constexpr size_t kPsvSaveSize = 0x40;
constexpr size_t kPsvDataOffset = 0x44;  // u32 0x84
constexpr size_t kPsvConstant48 = 0x48;  // u32 0x200
constexpr size_t kPsvSaveSizeAgain = 0x5C;
constexpr size_t kPsvConstant60 = 0x60;  // u32 0x9003
constexpr size_t kPsvName = 0x64;

// "mcs", "psx", "psv", "raw".
const char* save_format_name(SaveFormat format);
std::optional<SaveFormat> save_format_named(const std::string& name);
// By extension, in any case: .mcs and .ps1, .psx .mcb .mcx .pda, .psv,
// .bin raw; `otherwise` for any other name.
SaveFormat save_format_for_path(const std::string& path, SaveFormat otherwise = SaveFormat::raw);

// The PS2 save container a file's name says it is (".max: Action Replay
// Max", ...), "" for any other name. Such a file holds no PS1 save.
std::string ps2_container_named(const std::string& path);

// The file of a save given its first directory frame and its blocks in
// chain order. An MCS keeps the frame as the card holds it; PSV files are
// signed, with a seed drawn from the save (the same save, the same file).
Failure encode_save_file(const uint8_t directory[kFrameSize], const std::vector<uint8_t>& blocks,
                         SaveFormat format, std::vector<uint8_t>& bytes);

// The file name a save gets in a folder: its name and the format's
// extension; for PSV the PS3's own rule (the first 12 characters, the rest
// in upper-case hex, ".PSV"), so that a PS3 finds it in PS3/EXPORT/PSV.
// Characters file systems forbid are replaced, see safe_file_name.
std::string save_file_name(const std::string& save_name, SaveFormat format);
// The save name a raw save's file name holds, which programs that export
// raw saves name them by: in the name without its extension, from a 'B', a
// region letter (A, E or I) and a product code such as SLUS-00958 (or
// SLUSP00958, a PocketStation game) to the end, at most 20 printable ASCII
// characters. "Suikoden 2-BASLUS-00958GS2-7.srm" holds BASLUS-00958GS2-7;
// "" when the name holds none.
std::string save_name_in_file_name(const std::string& path);

// Replaces what Windows or Linux refuse in a file name (control characters,
// < > : " / \ | ? *, bytes that are not ASCII, trailing dots and spaces,
// device names such as CON) with '_'.
std::string safe_file_name(const std::string& name);
