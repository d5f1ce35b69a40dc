// What the fuzz targets share: the check that stops a run on a broken
// invariant, the reading of an input's fields, the card an input describes,
// and the invariants of an analysis, which several targets run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "card/analysis.h"
#include "card/card_image.h"
#include "card/failure.h"

// An invariant that does not hold is a crash for libFuzzer, which then keeps
// the input that broke it.
#define FUZZ_CHECK(condition)                                                         \
  do {                                                                                \
    if (!(condition)) {                                                               \
      std::fprintf(stderr, "invariant broken at %s:%d: %s\n", __FILE__, __LINE__,    \
                   #condition);                                                       \
      __builtin_trap();                                                               \
    }                                                                                 \
  } while (0)

// Takes an input's fields from its front; a field past the end of the input
// reads as zero bytes, so every input, however short, means something.
class InputReader {
 public:
  InputReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  uint8_t byte();
  uint32_t le16();
  uint32_t le24();
  uint32_t le32();
  // Up to `count` bytes: fewer when the input ends first.
  std::vector<uint8_t> bytes(size_t count);
  std::vector<uint8_t> rest();
  bool at_end() const { return at_ >= size_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

// A freshly formatted card with the input's bytes laid over its start: a
// short input changes the header and directory of a good card, a whole
// image replaces it.
CardImage card_from_prefix(const std::vector<uint8_t>& prefix);

// Gives frame 0 "MC" and a good checksum, so that the card counts as loaded
// and the analysis looks at its slots.
void make_loaded(CardImage& card);

// Every byte of the tables equal, icon frames past the count included.
bool same_table(const SlotTable& a, const SlotTable& b);
// The same analysis: statuses, owners, used and the icons within their count.
bool same_analysis(const SlotTable& a, const SlotTable& b);

// The text of a failure, "" for none.
std::string text_of(const Failure& failure);

// Runs analyse_card on `card` into `table` and checks what an analysis
// promises: a failure exactly when frame 0 is not a good "MC" frame, and then
// byte 0 cleared, the rest of the card and the whole table untouched;
// otherwise the card unchanged, used = the slots with a status above 0 or -2
// (so at most 15), every status -2..255 and explained by the slot's
// directory frame and header, owners -1 or another slot holding a first
// block (below the slot for a further block), and the icons the status
// calls for. Returns whether the analysis succeeded.
bool analyse_and_check(CardImage& card, SlotTable& table, bool allow_corrupted);
