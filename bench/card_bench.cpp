// Times the analysis of a full card and the decoding of one icon frame: a
// program to run by hand, not a test.
//
// The card holds fifteen one-block saves with three icon frames each, the
// most icon decoding an analysis can have to do.
#include <chrono>
#include <cstdio>
#include <memory>

#include "card/analysis.h"
#include "card/editing.h"
#include "card/icon.h"

namespace {

using Clock = std::chrono::steady_clock;

CardImage full_card() {
  CardImage card;
  format_card(card);
  for (int slot = 0; slot < kSlotCount; ++slot) {
    uint8_t entry[kFrameSize] = {kStateFirst};
    write_le32(entry + kDirSize, kBlockSize);
    std::snprintf(reinterpret_cast<char*>(entry + kDirName), kSaveNameMax + 1, "BASLUS-%05dBENCH", slot);
    uint8_t data[kBlockSize] = {'S', 'C', 0x13, 1};
    for (size_t i = kFrameSize; i < 4 * kFrameSize; ++i) data[i] = uint8_t(i * 37 + slot);
    for (size_t i = kHeaderColours; i < kFrameSize; ++i) data[i] = uint8_t(i * 11);
    place_save(card, entry, data, kBlockSize);
  }
  return card;
}

template <typename Job>
double nanoseconds_per_run(int runs, Job job) {
  const Clock::time_point start = Clock::now();
  for (int i = 0; i < runs; ++i) job();
  return std::chrono::duration<double, std::nano>(Clock::now() - start).count() / runs;
}

}  // namespace

int main() {
  CardImage card = full_card();
  auto table = std::make_unique<SlotTable>();
  volatile int sink = 0;
  if (analyse_card(card, *table, false) || table->used != kSlotCount || table->icons[14].count != 3) {
    std::printf("the benchmark card did not analyse as fifteen saves\n");
    return 1;
  }
  const double analyse_ns = nanoseconds_per_run(2000, [&] {
    analyse_card(card, *table, false);
    sink = sink + table->used;
  });
  IconImage image;
  const uint8_t* first_block = data_block(card, 0);
  const double decode_ns = nanoseconds_per_run(200000, [&] {
    decode_icon(first_block + kFrameSize, first_block + kHeaderColours, image);
    sink = sink + image[100];
  });
  std::printf("analyse_card, 15 one-block saves with 3 icon frames: %10.1f us\n", analyse_ns / 1000);
  std::printf("decode_icon, one 16x16 frame to 32x32x24:           %10.1f us\n", decode_ns / 1000);
  return 0;
}
