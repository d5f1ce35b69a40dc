// analyse_card on any card image, with and without corrupted saves allowed,
// the command line's listings of what it found (its slots, with a card
// file's comments of any bytes, and its deleted saves), the card check, and
// the icon pictures of its saves, encoded as PNG and GIF.
//
// Input: the card image (131072 bytes; a shorter input is laid over a
// freshly formatted card, a longer one is cut).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <cstring>
#include <vector>

#include "card/analysis.h"
#include "card/card_check.h"
#include "card/icon_picture.h"
#include "cli/listing.h"
#include "files/picture_file.h"
#include "fuzz/fuzz_support.h"

namespace {

// Well-formed UTF-8: no stray continuation bytes, no cut sequences, no
// overlong forms or surrogates; no control characters but line ends and tabs.
bool clean_utf8(const std::string& text) {
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = text[i];
    if (c < 0x80) {
      if (c < 0x20 && c != '\n' && c != '\t') return false;
      ++i;
      continue;
    }
    const int length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
    if (length == 0 || c > 0xF4 || i + length > text.size()) return false;
    uint32_t code = c & (0x3F >> (length - 1));
    for (int k = 1; k < length; ++k) {
      const unsigned char next = text[i + k];
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < least[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    i += length;
  }
  return true;
}

// What a script reading the listing relies on, whatever the card holds.
void check_listing(const CardImage& card, const SlotTable& table) {
  const std::string lines = slot_lines(card, table);
  FUZZ_CHECK(clean_utf8(lines));
  FUZZ_CHECK(std::count(lines.begin(), lines.end(), '\n') == kSlotCount + 1);
  const std::string total = std::to_string(table.used) + "/15\n";
  FUZZ_CHECK(lines.size() >= total.size() && lines.compare(lines.size() - total.size(), total.size(), total) == 0);
  // A GME file's comments are any bytes: the reserved frames stand for them.
  auto file = std::make_unique<ListedFile>();
  file->format = "gme";
  for (int slot = 0; slot < kSlotCount; ++slot) {
    const char* text = reinterpret_cast<const char*>(frame(card, kFirstReservedFrame + slot));
    file->comments[slot] = std::string(text, strnlen(text, kFrameSize));
  }
  const ListedFile* none = nullptr;
  for (const ListedFile* listed : {none, static_cast<const ListedFile*>(file.get())}) {
    const std::string json = slot_json(card, table, listed);
    FUZZ_CHECK(clean_utf8(json) && json.find('\t') == std::string::npos);
    size_t slots = 0;
    for (size_t at = json.find("{\"slot\": "); at != std::string::npos; at = json.find("{\"slot\": ", at + 1))
      ++slots;
    FUZZ_CHECK(slots == size_t(kSlotCount));
  }
  const std::string deleted = deleted_lines(card);
  FUZZ_CHECK(clean_utf8(deleted) && clean_utf8(deleted_json(card)));
  FUZZ_CHECK(deleted.size() > 0 && deleted.back() == '\n');
}

// Every fault names frames of the card and says what it means; an
// unformatted card is that and nothing more, and a card without faults
// shows no corrupted slot.
void check_faults(const CardImage& card, const SlotTable* table) {
  const std::vector<CardFault> faults = check_card(card);
  for (const CardFault& fault : faults) {
    FUZZ_CHECK(!fault.name.empty() && !fault.meaning.empty() && clean_utf8(fault.meaning));
    FUZZ_CHECK(!fault.frames.empty() && std::is_sorted(fault.frames.begin(), fault.frames.end()));
    FUZZ_CHECK(fault.frames.front() >= 0 && fault.frames.back() < kFrameCount);
  }
  if (!is_loaded(card)) FUZZ_CHECK(faults.size() == 1 && faults[0].name == "not-formatted");
  if (!table || !faults.empty()) return;
  for (int slot = 0; slot < kSlotCount; ++slot) {
    const uint8_t state = directory_frame(card, slot)[kDirState];
    FUZZ_CHECK(table->status[slot] != kSlotCorrupted || state == kStateMiddle || state == kStateLast);
  }
}

// Every save's picture is the icon the window shows, at any side, with one
// transparent index for every transparent pixel; what has no icon of its
// own is refused. One picture is encoded in both formats.
void check_pictures(const CardImage& card, const SlotTable& table) {
  bool encoded = false;
  for (int slot = 0; slot < kSlotCount; ++slot) {
    const int side = kPictureSides[slot % 2];  // larger ones only repeat pixels
    IconPicture picture;
    const int save = selected_save(table, slot);
    const bool made = !make_icon_picture(card, table, slot, side, picture);
    FUZZ_CHECK(made == (save >= 0 && table.status[save] > 0));
    if (!made) continue;
    const int frames = SaveHeader{data_block(card, save)}.icon_frames();
    FUZZ_CHECK(int(picture.frames.size()) == std::max(frames, 1) && picture.side == side);
    for (size_t k = 0; k < picture.frames.size(); ++k) {
      FUZZ_CHECK(picture.frames[k].size() == size_t(side * side));
      for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
          const uint8_t index = picture.frames[k][size_t(y * side + x)];
          FUZZ_CHECK(index < kPaletteSize);
          const PictureColour& c = picture.palette[index];
          FUZZ_CHECK((c.alpha == 0) == (index == picture.transparent_index));
          const uint8_t* shown = table.icons[save].frames[k].data() + (y * 32 / side) * kIconRowBytes +
                                 (x * 32 / side) * 3;
          FUZZ_CHECK(c.blue == shown[0] && c.green == shown[1] && c.red == shown[2]);
        }
    }
    if (encoded) continue;
    encoded = true;
    std::vector<uint8_t> png, gif;
    FUZZ_CHECK(!encode_picture(picture, PictureFormat::png, png) && png.size() > 8 && png[1] == 'P');
    FUZZ_CHECK(!encode_picture(picture, PictureFormat::gif, gif) && gif.size() > 6 &&
               std::memcmp(gif.data(), "GIF89a", 6) == 0);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const CardImage image = card_from_prefix(std::vector<uint8_t>(data, data + size));
  // Analyses rebuild the table in place, as in the window: each starts from
  // what the one before left.
  auto table = std::make_unique<SlotTable>();
  CardImage card = image;
  const bool loaded = analyse_and_check(card, *table, false);
  const auto first = std::make_unique<SlotTable>(*table);
  for (bool allow_corrupted : {true, false}) {
    CardImage again = image;
    FUZZ_CHECK(analyse_and_check(again, *table, allow_corrupted) == loaded);
  }
  if (loaded) {
    // Nothing of the table before leaks into an analysis.
    FUZZ_CHECK(same_analysis(*table, *first));
    check_listing(image, *table);
    check_pictures(image, *table);
  }
  check_faults(image, loaded ? first.get() : nullptr);
  if (!loaded) {
    // A failed analysis unloads the card: analysing it again fails too.
    FUZZ_CHECK(!analyse_and_check(card, *table, true));
  }
  return 0;
}
