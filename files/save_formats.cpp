#include "files/save_formats.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "files/crypto.h"
#include "files/file_io.h"

namespace {

constexpr size_t kPs3NameHead = 12;  // characters the PS3 keeps as they are

bool is_shift_jis_lead(uint8_t c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// As much of the save header's title as fits, never half a character.
void put_psx_title(const uint8_t* save_header, uint8_t* out) {
  const uint8_t* title = save_header + kHeaderTitle;
  size_t n = 0;
  while (n < kPsxTitleMax && title[n]) {
    const size_t width = is_shift_jis_lead(title[n]) ? 2 : 1;
    if (n + width > kPsxTitleMax || (width == 2 && !title[n + 1])) break;
    n += width;
  }
  std::memcpy(out, title, n);
}

Failure encode_psv(const uint8_t* directory, const std::vector<uint8_t>& blocks,
                   std::vector<uint8_t>& bytes) {
  bytes.assign(kPsvHeaderSize, 0);
  bytes.insert(bytes.end(), blocks.begin(), blocks.end());
  uint8_t* h = bytes.data();
  std::memcpy(h, kPsvMagic, sizeof kPsvMagic);
  write_le32(h + kPsvConstant38, 0x14);
  write_le32(h + kPsvType, kPsvPs1Save);
  write_le32(h + kPsvSaveSize, uint32_t(blocks.size()));
  write_le32(h + kPsvDataOffset, uint32_t(kPsvHeaderSize));
  write_le32(h + kPsvConstant48, 0x200);
  write_le32(h + kPsvSaveSizeAgain, uint32_t(blocks.size()));
  write_le32(h + kPsvConstant60, 0x9003);
  const std::string name = DirectoryFrame{directory}.name();
  std::memcpy(h + kPsvName, name.data(), name.size());
  // Any seed is accepted: one drawn from the unsigned file makes the file
  // depend on the save alone.
  if (!sha1(bytes.data(), bytes.size(), h + kPsvSignature.seed_at) ||
      !sign_ps1_file(bytes.data(), bytes.size(), kPsvSignature)) {
    bytes.clear();
    return fail("Cannot sign the PSV file !", "File Error");
  }
  return std::nullopt;
}

bool is_upper(char c) { return c >= 'A' && c <= 'Z'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_name_character(char c) { return c >= 0x20 && c <= 0x7E; }

// "B", a region letter, a product code: "BASLUS-00958".
bool save_name_starts_at(const std::string& text, size_t at) {
  constexpr size_t kCodeLength = 12;
  if (text.size() < at + kCodeLength || text[at] != 'B' ||
      (text[at + 1] != 'A' && text[at + 1] != 'E' && text[at + 1] != 'I'))
    return false;
  for (size_t i = at + 2; i < at + 6; ++i)
    if (!is_upper(text[i])) return false;
  if (text[at + 6] != '-' && text[at + 6] != 'P') return false;
  for (size_t i = at + 7; i < at + kCodeLength; ++i)
    if (!is_digit(text[i])) return false;
  return true;
}

bool is_device_name(const std::string& name) {
  std::string stem = name.substr(0, name.find('.'));
  for (char& c : stem) c = char(std::toupper(static_cast<unsigned char>(c)));
  if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL") return true;
  return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
         stem[3] >= '1' && stem[3] <= '9';
}

}  // namespace

const char* save_format_name(SaveFormat format) {
  switch (format) {
    case SaveFormat::mcs: return "mcs";
    case SaveFormat::psx: return "psx";
    case SaveFormat::psv: return "psv";
    case SaveFormat::raw: return "raw";
  }
  return "raw";
}

std::optional<SaveFormat> save_format_named(const std::string& name) {
  for (SaveFormat format : {SaveFormat::mcs, SaveFormat::psx, SaveFormat::psv, SaveFormat::raw})
    if (name == save_format_name(format)) return format;
  return std::nullopt;
}

SaveFormat save_format_for_path(const std::string& path, SaveFormat otherwise) {
  const std::string extension = lowercase_extension(path);
  if (extension == ".mcs" || extension == ".ps1") return SaveFormat::mcs;
  if (extension == ".psx" || extension == ".mcb" || extension == ".mcx" || extension == ".pda")
    return SaveFormat::psx;
  if (extension == ".psv") return SaveFormat::psv;
  if (extension == ".bin") return SaveFormat::raw;
  return otherwise;
}

std::string ps2_container_named(const std::string& path) {
  static const char* const kContainers[][2] = {{".psu", "EMS"},
                                              {".max", "Action Replay Max"},
                                              {".sps", "SharkPort"},
                                              {".xps", "X-Port"},
                                              {".cbs", "CodeBreaker"}};
  const std::string extension = lowercase_extension(path);
  for (const auto& container : kContainers)
    if (extension == container[0]) return extension + ": " + container[1];
  return "";
}

Failure encode_save_file(const uint8_t directory[kFrameSize], const std::vector<uint8_t>& blocks,
                         SaveFormat format, std::vector<uint8_t>& bytes) {
  switch (format) {
    case SaveFormat::mcs:
      bytes.assign(directory, directory + kFrameSize);
      break;
    case SaveFormat::psx: {
      bytes.assign(kPsxHeaderSize, 0);
      const std::string name = DirectoryFrame{directory}.name();
      std::memcpy(bytes.data(), name.data(), name.size());
      if (!blocks.empty()) put_psx_title(blocks.data(), bytes.data() + kPsxTitle);
      break;
    }
    case SaveFormat::psv:
      return encode_psv(directory, blocks, bytes);
    case SaveFormat::raw:
      bytes.clear();
      break;
  }
  bytes.insert(bytes.end(), blocks.begin(), blocks.end());
  return std::nullopt;
}

std::string save_file_name(const std::string& save_name, SaveFormat format) {
  switch (format) {
    case SaveFormat::mcs: return safe_file_name(save_name + ".mcs");
    case SaveFormat::psx: return safe_file_name(save_name + ".psx");
    case SaveFormat::raw: return safe_file_name(save_name);
    case SaveFormat::psv: break;
  }
  std::string name = save_name.substr(0, kPs3NameHead);
  static const char kHex[] = "0123456789ABCDEF";
  for (size_t i = kPs3NameHead; i < save_name.size(); ++i) {
    const uint8_t c = uint8_t(save_name[i]);
    name += kHex[c >> 4];
    name += kHex[c & 15];
  }
  return safe_file_name(name + ".PSV");
}

std::string save_name_in_file_name(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  std::string stem = slash == std::string::npos ? path : path.substr(slash + 1);
  stem.resize(stem.size() - lowercase_extension(stem).size());
  // The longest name that fits: a name may itself hold a "B" and a code.
  for (size_t at = stem.size() > kSaveNameMax ? stem.size() - kSaveNameMax : 0; at < stem.size(); ++at) {
    if (!save_name_starts_at(stem, at)) continue;
    const std::string name = stem.substr(at);
    if (std::all_of(name.begin(), name.end(), is_name_character)) return name;
  }
  return "";
}

std::string safe_file_name(const std::string& name) {
  std::string safe = name;
  for (char& c : safe) {
    const uint8_t u = uint8_t(c);
    if (u < 0x20 || u >= 0x7F || std::strchr("<>:\"/\\|?*", c)) c = '_';
  }
  for (size_t end = safe.size(); end > 0 && (safe[end - 1] == '.' || safe[end - 1] == ' '); --end)
    safe[end - 1] = '_';
  if (safe.empty() || is_device_name(safe)) safe.insert(0, "_");
  return safe;
}
