// The slot view's texts (information line, group-box caption, title bytes)
// for any directory frame and save header, with any block count, and for
// every save an analysis finds.
//
// Input:
//   byte 0      the slot (modulo 15)
//   bytes 1..4  the block count, a little-endian signed 32-bit number
//   then the card, laid over a formatted card.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "card/slot_text.h"
#include "fuzz/fuzz_support.h"

namespace {

// The line as the window's format makes it, character by character: a
// zero byte among the characters ends it, and so does the 64-byte buffer.
std::string expected_info_line(const CardImage& card, int slot, int blocks) {
  const uint8_t* name = directory_frame(card, slot) + kDirName;
  const auto c = [name](int i) { return char(name[i]); };
  std::string line = std::to_string(blocks) + " Block" + (blocks <= 1 ? "" : "s") + ", ";
  line += c(1) == 'E' ? "Europe" : c(1) == 'A' ? "America" : "Japan";
  line += std::string(", ") + c(2) + c(3) + c(4) + c(5) + '-' + c(7) + c(8) + c(9) + c(10) + c(11);
  line += std::string(" :") + (c(6) == 'P' ? " PocketStation : " : " ");
  // The name's own part: characters 12 on, up to a zero byte or byte 29.
  for (size_t i = 12; i < kSaveNameMax && name[i]; ++i) line += c(int(i));
  return line.substr(0, line.find('\0')).substr(0, kInfoLineMax);
}

std::string text_up_to_zero(const uint8_t* bytes, size_t most) {
  std::string text;
  for (size_t i = 0; i < most && bytes[i]; ++i) text += char(bytes[i]);
  return text;
}

void check_texts(const CardImage& card, int slot, int blocks) {
  const std::string line = info_line(card, slot, blocks);
  FUZZ_CHECK(line.size() <= kInfoLineMax);
  FUZZ_CHECK(line == expected_info_line(card, slot, blocks));
  const std::string caption = name_caption(card, slot);
  FUZZ_CHECK(caption.size() <= kSaveNameMax);
  FUZZ_CHECK(caption == text_up_to_zero(directory_frame(card, slot) + kDirName, kSaveNameMax));
  const std::string title = title_bytes(card, slot);
  FUZZ_CHECK(title.size() <= kTitleSize);
  FUZZ_CHECK(title == text_up_to_zero(data_block(card, slot) + kHeaderTitle, kTitleSize));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  InputReader input(data, size);
  const int slot = input.byte() % kSlotCount;
  const int blocks = int32_t(input.le32());
  auto card = std::make_unique<CardImage>(card_from_prefix(input.rest()));
  check_texts(*card, slot, blocks);

  // What the window shows: the texts of each save the analysis finds, with
  // the block count it reports.
  auto table = std::make_unique<SlotTable>();
  if (!analyse_and_check(*card, *table, blocks & 1)) return 0;
  for (int s = 0; s < kSlotCount; ++s)
    if (table->status[s] > 0) check_texts(*card, s, table->status[s]);
  return 0;
}
