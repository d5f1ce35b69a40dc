#include "fuzz/fuzz_support.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "card/editing.h"
#include "card/icon.h"

uint8_t InputReader::byte() { return at_ < size_ ? data_[at_++] : 0; }

uint32_t InputReader::le16() {
  const uint32_t low = byte();
  return low | uint32_t(byte()) << 8;
}

uint32_t InputReader::le24() {
  const uint32_t low = le16();
  return low | uint32_t(byte()) << 16;
}

uint32_t InputReader::le32() {
  const uint32_t low = le24();
  return low | uint32_t(byte()) << 24;
}

std::vector<uint8_t> InputReader::bytes(size_t count) {
  const size_t taken = std::min(count, size_ - std::min(at_, size_));
  std::vector<uint8_t> out(data_ + at_, data_ + at_ + taken);
  at_ += taken;
  return out;
}

std::vector<uint8_t> InputReader::rest() { return bytes(size_); }

CardImage card_from_prefix(const std::vector<uint8_t>& prefix) {
  CardImage card;
  format_card(card);
  std::copy_n(prefix.begin(), std::min(prefix.size(), kCardSize), card.bytes.begin());
  return card;
}

void make_loaded(CardImage& card) {
  card.bytes[0] = kCardMagic0;
  card.bytes[1] = kCardMagic1;
  store_checksum(frame(card, 0));
}

bool same_table(const SlotTable& a, const SlotTable& b) {
  if (a.used != b.used) return false;
  for (int i = 0; i < kSlotCount; ++i) {
    if (a.status[i] != b.status[i] || a.owner[i] != b.owner[i]) return false;
    if (a.icons[i].count != b.icons[i].count) return false;
    for (int k = 0; k < kMaxIconFrames; ++k)
      if (a.icons[i].frames[k] != b.icons[i].frames[k]) return false;
  }
  return true;
}

bool same_analysis(const SlotTable& a, const SlotTable& b) {
  if (a.used != b.used) return false;
  for (int i = 0; i < kSlotCount; ++i) {
    if (a.status[i] != b.status[i] || a.owner[i] != b.owner[i]) return false;
    if (a.icons[i].count != b.icons[i].count) return false;
    for (int k = 0; k < a.icons[i].count; ++k)
      if (a.icons[i].frames[k] != b.icons[i].frames[k]) return false;
  }
  return true;
}

std::string text_of(const Failure& failure) { return failure ? failure->text : ""; }

namespace {

bool card_header_good(const CardImage& card) {
  return card.bytes[0] == 'M' && card.bytes[1] == 'C' && !frame_is_bad(frame(card, 0));
}

void check_slot(const CardImage& card, const SlotTable& table, int slot, bool allow_corrupted) {
  const uint8_t* directory = directory_frame(card, slot);
  const uint8_t* header = data_block(card, slot);
  const uint8_t state = directory[kDirState];
  const bool frame_good = !frame_is_bad(directory);
  const int status = table.status[slot];
  const int owner = table.owner[slot];
  const SlotIcons& icons = table.icons[slot];

  // A first block's status is its header's block count, a byte: it is not
  // bounded by the fifteen slots (a directory frame may announce 200 blocks
  // and a header agree with it), only by 255.
  FUZZ_CHECK(status >= kSlotFurtherBlock && status <= 255);
  FUZZ_CHECK(owner >= -1 && owner < kSlotCount && owner != slot);
  // Owners are written only by the walk from a first block.
  if (owner >= 0) FUZZ_CHECK(directory_frame(card, owner)[kDirState] == kStateFirst);

  if (!frame_good && !allow_corrupted) FUZZ_CHECK(status == kSlotCorrupted);
  if ((frame_good || allow_corrupted) && (state & 0xF0) != kInUseNibble)
    FUZZ_CHECK(status == kSlotEmpty);
  if (status > 0 || (status == kSlotEmpty && (state & 0xF0) == kInUseNibble)) {
    FUZZ_CHECK(state == kStateFirst);
    FUZZ_CHECK(status == header[kHeaderBlocks]);
    if (!allow_corrupted) {
      const DirectoryFrame d{directory};
      FUZZ_CHECK(frame_good && header[0] == 'S' && header[1] == 'C' &&
                 (header[kHeaderIconFlag] & 0xFC) == 0x10 &&
                 header[kHeaderBlocks] == d.size_block_count());
    }
  }
  if (status == kSlotFurtherBlock) {
    // Recognised only when a lower first block's chain passed it; a higher
    // one whose chain passes it too may have taken the owner entry since.
    FUZZ_CHECK(state == kStateMiddle || state == kStateLast);
    FUZZ_CHECK(owner >= 0);
    FUZZ_CHECK(table.status[owner] != kSlotFurtherBlock);
    FUZZ_CHECK(icon_source(table, slot) == owner);
    FUZZ_CHECK(icons.count == 0);
  } else {
    FUZZ_CHECK(icon_source(table, slot) == slot);
  }
  if (status == kSlotCorrupted)
    FUZZ_CHECK(icons.count == 1 && icons.frames[0] == red_placeholder());
  if (status == kSlotEmpty)
    FUZZ_CHECK(icons.count == 1 && icons.frames[0] == white_placeholder());
  if (status > 0) {
    const int frames = header[kHeaderIconFlag] & 3;
    FUZZ_CHECK(icons.count == std::max(frames, 1));
    if (frames == 0) FUZZ_CHECK(icons.frames[0] == black_icon());
    IconImage first;
    if (frames > 0) {
      decode_icon(header + kFrameSize, header + kHeaderColours, first);
      FUZZ_CHECK(icons.frames[0] == first);
    }
  }
}

}  // namespace

bool analyse_and_check(CardImage& card, SlotTable& table, bool allow_corrupted) {
  const CardImage before = card;
  const auto table_before = std::make_unique<SlotTable>(table);
  const Failure failure = analyse_card(card, table, allow_corrupted);

  FUZZ_CHECK(bool(failure) == !card_header_good(before));
  if (failure) {
    FUZZ_CHECK(failure->text == kWrongCardFormat);
    FUZZ_CHECK(card.bytes[0] == 0);
    FUZZ_CHECK(std::equal(card.bytes.begin() + 1, card.bytes.end(), before.bytes.begin() + 1));
    FUZZ_CHECK(same_table(table, *table_before));
    return false;
  }
  FUZZ_CHECK(card.bytes == before.bytes);
  int counted = 0;
  for (int slot = 0; slot < kSlotCount; ++slot) {
    check_slot(card, table, slot, allow_corrupted);
    if (table.status[slot] > 0 || table.status[slot] == kSlotFurtherBlock) ++counted;
  }
  FUZZ_CHECK(table.used == counted);
  FUZZ_CHECK(table.used >= 0 && table.used <= kSlotCount);
  return true;
}
