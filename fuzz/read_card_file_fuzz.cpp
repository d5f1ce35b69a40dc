// The card image file reader on files of any length and content, then the
// analysis that "Open MC/GME" runs on what it loaded, and the card written
// back in every format; and how a file dropped on the window is told a card
// file or a save file from its first bytes.
//
// Input: the file's bytes. They are written to one file in /tmp per process,
// which is removed when the process ends normally.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "card/analysis.h"
#include "files/card_file.h"
#include "fuzz/fuzz_support.h"

namespace {

struct ScratchFile {
  std::string path = "/tmp/quillcrest-fuzz-card-" + std::to_string(getpid()) + ".mcr";
  ~ScratchFile() { std::remove(path.c_str()); }
};

// A loaded card that no file reproduces by chance: a failed read must leave
// exactly this.
CardImage card_before_the_read() {
  std::vector<uint8_t> stamp(kCardSize);
  for (size_t i = 0; i < kCardSize; ++i) stamp[i] = uint8_t(i * 131 + (i >> 7));
  CardImage card = card_from_prefix(stamp);
  make_loaded(card);
  return card;
}

size_t header_size(CardFormat format) {
  switch (format) {
    case CardFormat::raw: return 0;
    case CardFormat::gme: return kGmeHeaderSize;
    case CardFormat::vgs: return kVgsHeaderSize;
    case CardFormat::vmp: return kVmpHeaderSize;
    case CardFormat::magazine: return kMagazineHeaderSize;
  }
  return 0;
}

bool is_refusal(const Failure& failure) {
  const std::string text = text_of(failure);
  return failure->caption == "File Error" &&
         (text == "Wrong file size !" || text.find("PocketStation") != std::string::npos ||
          text.find("PS2") != std::string::npos);
}

// Written in every format and read back, the card and the comments stay.
void check_written_back(const CardImage& card, const CardFileInfo& read) {
  for (CardFormat format : {CardFormat::raw, CardFormat::gme, CardFormat::vgs, CardFormat::vmp,
                            CardFormat::magazine}) {
    CardFileInfo info = read;
    info.format = format;
    std::vector<uint8_t> bytes;
    FUZZ_CHECK(!encode_card_file(card, info, bytes));
    FilePrefix file;
    file.bytes = bytes;
    file.length = bytes.size();
    auto again = std::make_unique<CardImage>();
    CardFileInfo again_info;
    FUZZ_CHECK(!decode_card_file(file, *again, again_info));
    FUZZ_CHECK(again->bytes == card.bytes);
    FUZZ_CHECK(again_info.format == format);
    FUZZ_CHECK(again_info.notice.empty());  // a written VMP is signed
    for (int slot = 0; slot < kSlotCount; ++slot)
      FUZZ_CHECK(comment_of(card, again_info, slot) ==
                 (format == CardFormat::gme ? comment_of(card, read, slot) : ""));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const ScratchFile scratch;
  static const CardImage before = card_before_the_read();
  FILE* file = std::fopen(scratch.path.c_str(), "wb");
  FUZZ_CHECK(file);
  FUZZ_CHECK(size == 0 || std::fwrite(data, 1, size, file) == size);
  FUZZ_CHECK(std::fclose(file) == 0);

  auto card = std::make_unique<CardImage>(before);
  bool opened = false;
  CardFileInfo info;
  const Failure failure = read_card_file(scratch.path, *card, opened, info);
  FUZZ_CHECK(opened);
  // What opens as a card is a card file to the window's drop; what is not
  // one is too short for a card, and goes to the save import.
  FilePrefix file_start;
  FUZZ_CHECK(!read_file_prefix(scratch.path, kCardFileTagBytes, file_start));
  FUZZ_CHECK(is_card_file(file_start) || text_of(failure) == "Wrong file size !");
  if (failure) {
    // Refused with a message, and nothing of the file taken.
    FUZZ_CHECK(is_refusal(failure));
    FUZZ_CHECK(card->bytes == before.bytes);
    // Only files too short for a card image, or long ones that do not start
    // like one, are refused.
    FUZZ_CHECK(size < kCardSize || !(data[0] == 'M' && data[1] == 'C'));
    return 0;
  }
  // The card is what the file holds after its format's header; only a GME
  // file cut short lacks a tail, which reads as zeros, and says so.
  const size_t start = header_size(info.format);
  FUZZ_CHECK(size > start);
  const size_t held = std::min(size - start, kCardSize);
  FUZZ_CHECK(std::equal(card->bytes.begin(), card->bytes.begin() + held, data + start));
  FUZZ_CHECK(std::all_of(card->bytes.begin() + held, card->bytes.end(), [](uint8_t b) { return b == 0; }));
  if (held < kCardSize) FUZZ_CHECK(info.format == CardFormat::gme && !info.notice.empty());
  if (info.format == CardFormat::raw) FUZZ_CHECK(info.notice.empty());

  check_written_back(*card, info);
  auto table = std::make_unique<SlotTable>();
  analyse_and_check(*card, *table, false);
  return 0;
}
