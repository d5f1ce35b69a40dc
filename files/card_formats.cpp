#include "files/card_formats.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>

#include "card/rename.h"
#include "files/crypto.h"
#include "files/ps1_signature.h"

namespace {

const char kWrongSize[] = "Wrong file size !";

// GME header: the tag, five fixed bytes, copies of bytes 0 and 8 of the
// header and directory frames (readers never trust them), and the comments.
const char kGmeTag[] = "123-456-STD";  // and its NUL
constexpr size_t kGmeFixed = 0x10;
const uint8_t kGmeFixedBytes[] = {0x00, 0x00, 0x01, 0x00, 0x01};
constexpr size_t kGmeStateCopies = 0x15;
constexpr size_t kGmeNextCopies = 0x25;
constexpr int kGmeCopiedFrames = 16;
constexpr size_t kGmeComments = 0x40;

const char kVgsTag[] = "VgsM";

const uint8_t kVmpTag[4] = {0x00, 'P', 'M', 'V'};
constexpr size_t kVmpHeaderLength = 4;  // u32 0x80
constexpr SignatureLayout kVmpSignature = {0x0C, 0x20};

const char kMagazineTag[] = "PSV";

bool starts_with(const uint8_t* bytes, size_t size, const void* tag, size_t tag_size) {
  return size >= tag_size && std::memcmp(bytes, tag, tag_size) == 0;
}

bool has_card_magic(const uint8_t* bytes, size_t size) {
  return size >= 2 && bytes[0] == kCardMagic0 && bytes[1] == kCardMagic1;
}

bool is_gme_tagged(const FilePrefix& file) {
  return starts_with(file.bytes.data(), file.bytes.size(), kGmeTag, sizeof kGmeTag);
}

// The slots in use whose block a short file does not hold at all, as "3, 4".
std::string slots_lacking_data(const CardImage& card, size_t card_bytes_held) {
  std::string slots;
  for (int slot = 0; slot < kSlotCount; ++slot) {
    const size_t block_end = size_t(slot + 2) * kBlockSize;
    if (block_end <= card_bytes_held || !DirectoryFrame{directory_frame(card, slot)}.in_use()) continue;
    slots += (slots.empty() ? "" : ", ") + std::to_string(slot + 1);
  }
  return slots;
}

void read_gme_comments(const uint8_t* header, const CardImage& card, CardFileInfo& info) {
  for (int slot = 0; slot < kSlotCount; ++slot) {
    const char* text = reinterpret_cast<const char*>(header + kGmeComments + slot * kGmeCommentSize);
    const void* end = std::memchr(text, 0, kGmeCommentSize);
    const size_t length = end ? size_t(static_cast<const char*>(end) - text) : kGmeCommentSize - 1;
    if (length) set_comment(card, info, slot, std::string(text, length));
  }
}

Failure take_gme(const FilePrefix& file, CardImage& card, CardFileInfo& info) {
  const size_t held = std::min<size_t>(file.bytes.size() - kGmeHeaderSize, kCardSize);
  std::fill(card.bytes.begin(), card.bytes.end(), 0);
  std::copy_n(file.bytes.begin() + kGmeHeaderSize, held, card.bytes.begin());
  info.format = CardFormat::gme;
  read_gme_comments(file.bytes.data(), card, info);
  if (held == kCardSize) return std::nullopt;
  // Some programs leave out the unused blocks at the card's end.
  info.notice = "This GME file is cut short: the last " + std::to_string(kCardSize - held) +
                " bytes of the card are missing and are read as free space.";
  const std::string lacking = slots_lacking_data(card, held);
  if (!lacking.empty())
    info.notice += "\nThe saves in slots " + lacking + " lack data the file does not hold.";
  return std::nullopt;
}

void take_after_header(const FilePrefix& file, size_t header, CardFormat format, CardImage& card,
                       CardFileInfo& info) {
  std::copy_n(file.bytes.begin() + header, kCardSize, card.bytes.begin());
  info.format = format;
}

Failure decode_into(const FilePrefix& file, CardImage& card, CardFileInfo& info) {
  if (!file.whole) return fail(kWrongSize, "File Error");
  const uint8_t* bytes = file.bytes.data();
  const size_t held = file.bytes.size();
  const uint64_t length = file.length;
  if (length == kCardSize) {
    // Whatever it begins with (an unformatted card, a FreePSXBoot image):
    // a raw card is the one format every card can be written in.
    take_after_header(file, 0, CardFormat::raw, card, info);
    return std::nullopt;
  }
  if (length == kGmeFileSize) {
    // Known by its length even when its header was zeroed or is garbage.
    return take_gme(file, card, info);
  } else if (length == kVgsFileSize && starts_with(bytes, held, kVgsTag, 4)) {
    take_after_header(file, kVgsHeaderSize, CardFormat::vgs, card, info);
    return std::nullopt;
  } else if (length == kVmpFileSize && starts_with(bytes, held, kVmpTag, 4) &&
             read_le32(bytes + kVmpHeaderLength) == kVmpHeaderSize) {
    take_after_header(file, kVmpHeaderSize, CardFormat::vmp, card, info);
    info.signature_wrong = !ps1_signature_holds(bytes, kVmpFileSize, kVmpSignature);
    if (info.signature_wrong)
      info.notice =
          "The signature of this VMP card is wrong: a PSP or PS Vita would show it as an empty "
          "card.\nIt is opened as it is; saving it as a VMP signs it again.";
    return std::nullopt;
  } else if (length == kMcxFileSize && !has_card_magic(bytes, held)) {
    return fail("This is an encrypted PS Vita PocketStation card (MCX), which this program "
                "does not read.", "File Error");
  } else if (length == kMagazineFileSize && starts_with(bytes, held, kMagazineTag, 3)) {
    take_after_header(file, kMagazineHeaderSize, CardFormat::magazine, card, info);
    info.magazine_header.assign(bytes, bytes + kMagazineHeaderSize);
    return std::nullopt;
  }
  if (is_gme_tagged(file) && length >= kGmeHeaderSize + kBlockSize && length < kGmeFileSize)
    return take_gme(file, card, info);
  if (length < kCardSize) return fail(kWrongSize, "File Error");
  if (length > kLargestCardFile && !has_card_magic(bytes, held))
    return fail("This file is larger than any PS1 memory card image and does not start like "
                "one (a PS2 memory card image?): it is not read.", "File Error");
  // Any other file long enough is a raw image followed by something else.
  take_after_header(file, 0, CardFormat::raw, card, info);
  return std::nullopt;
}

void put_gme_header(const CardImage& card, const CardFileInfo& info, uint8_t* header) {
  std::memcpy(header, kGmeTag, sizeof kGmeTag);
  std::memcpy(header + kGmeFixed, kGmeFixedBytes, sizeof kGmeFixedBytes);
  for (int f = 0; f < kGmeCopiedFrames; ++f) {
    header[kGmeStateCopies + f] = frame(card, f)[kDirState];
    header[kGmeNextCopies + f] = frame(card, f)[kDirNext];
  }
  for (int slot = 0; slot < kSlotCount; ++slot) {
    const std::string text = comment_of(card, info, slot);
    std::memcpy(header + kGmeComments + slot * kGmeCommentSize, text.data(),
                std::min(text.size(), kGmeCommentSize - 1));
  }
}

}  // namespace

const char* card_format_name(CardFormat format) {
  switch (format) {
    case CardFormat::raw: return "raw";
    case CardFormat::gme: return "gme";
    case CardFormat::vgs: return "vgs";
    case CardFormat::vmp: return "vmp";
    case CardFormat::magazine: return "magazine";
  }
  return "raw";
}

std::optional<CardFormat> writable_card_format(const std::string& name) {
  for (CardFormat format : {CardFormat::raw, CardFormat::gme, CardFormat::vgs, CardFormat::vmp})
    if (name == card_format_name(format)) return format;
  return std::nullopt;
}

CardFormat card_format_for_path(const std::string& path) {
  const std::string extension = lowercase_extension(path);
  if (extension == ".gme") return CardFormat::gme;
  if (extension == ".mem" || extension == ".vgs") return CardFormat::vgs;
  if (extension == ".vmp") return CardFormat::vmp;
  return CardFormat::raw;
}

bool is_card_file(const FilePrefix& file) {
  return file.length >= kCardSize || (is_gme_tagged(file) && file.length >= kGmeHeaderSize + kBlockSize);
}

Failure decode_card_file(const FilePrefix& file, CardImage& card, CardFileInfo& info) {
  auto decoded = std::make_unique<CardImage>();
  CardFileInfo found;
  if (Failure failure = decode_into(file, *decoded, found)) return failure;
  card = *decoded;
  info = found;
  return std::nullopt;
}

Failure encode_card_file(const CardImage& card, const CardFileInfo& info, std::vector<uint8_t>& bytes) {
  size_t header = 0;
  switch (info.format) {
    case CardFormat::raw: break;
    case CardFormat::gme: header = kGmeHeaderSize; break;
    case CardFormat::vgs: header = kVgsHeaderSize; break;
    case CardFormat::vmp: header = kVmpHeaderSize; break;
    case CardFormat::magazine: header = kMagazineHeaderSize; break;
  }
  bytes.assign(header + kCardSize, 0);
  uint8_t* h = bytes.data();
  std::copy(card.bytes.begin(), card.bytes.end(), bytes.begin() + header);
  switch (info.format) {
    case CardFormat::raw: break;
    case CardFormat::gme: put_gme_header(card, info, h); break;
    case CardFormat::vgs:
      std::memcpy(h, kVgsTag, 4);
      for (size_t at : {4, 8, 12}) write_le32(h + at, 1);
      h[17] = 2;
      break;
    case CardFormat::vmp:
      std::memcpy(h, kVmpTag, sizeof kVmpTag);
      write_le32(h + kVmpHeaderLength, kVmpHeaderSize);
      // Any seed is accepted; one drawn from the card makes the file
      // depend on the card alone.
      if (!sha1(card.bytes.data(), kCardSize, h + kVmpSignature.seed_at) ||
          !sign_ps1_file(h, bytes.size(), kVmpSignature)) {
        bytes.clear();
        return fail("Cannot sign the VMP file !", "File Error");
      }
      break;
    case CardFormat::magazine:
      if (info.magazine_header.size() == kMagazineHeaderSize)
        std::copy(info.magazine_header.begin(), info.magazine_header.end(), h);
      else
        std::memcpy(h, kMagazineTag, 3);
      break;
  }
  return std::nullopt;
}

std::string comment_of(const CardImage& card, const CardFileInfo& info, int slot) {
  const DirectoryFrame directory{directory_frame(card, slot)};
  const SaveComment& comment = info.comments[slot];
  if (directory.state() != kStateFirst || directory.name() != comment.save_name) return "";
  return comment.text;
}

void set_comment(const CardImage& card, CardFileInfo& info, int slot, const std::string& text) {
  info.comments[slot] = SaveComment{DirectoryFrame{directory_frame(card, slot)}.name(),
                                    text.substr(0, kGmeCommentSize - 1)};
}

Failure edit_comment(const CardImage& card, CardFileInfo& info, int slot, const std::string& text) {
  if (info.format != CardFormat::gme)
    return fail(std::string("A ") + card_format_name(info.format) +
                " card file keeps no comments: only a GME (DexDrive) file does.");
  if (slot < 0 || slot >= kSlotCount || DirectoryFrame{directory_frame(card, slot)}.state() != kStateFirst)
    return fail("Empty Block !");
  if (text.size() > kGmeCommentSize - 1)
    return fail("A GME comment holds at most 255 bytes; this one has " + std::to_string(text.size()) + ".");
  for (unsigned char c : text)
    if (c < 0x20 || c == 0x7F)
      return fail("A GME comment cannot hold control characters (a line break, a tab).");
  set_comment(card, info, slot, text);
  return std::nullopt;
}

Failure rename_save_keeping_comment(CardImage& card, CardFileInfo& info, const SlotTable& slots, int first,
                                    const std::string& name) {
  const std::string comment = comment_of(card, info, first);
  if (Failure failure = rename_save(card, slots, first, name)) return failure;
  if (!comment.empty()) set_comment(card, info, first, comment);
  return std::nullopt;
}

bool comments_lost(const CardImage& card, const CardFileInfo& info, CardFormat format) {
  if (format == CardFormat::gme) return false;
  for (int slot = 0; slot < kSlotCount; ++slot)
    if (!comment_of(card, info, slot).empty()) return true;
  return false;
}
