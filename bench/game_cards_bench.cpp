// The per-game cards' jobs on this machine's file system: listing an SD
// card of 500 game cards (read, recognised, analysed), and a full card split
// into its games' cards, planned in memory and then written, the figures
// printed apart so the work beyond the file system shows.
//
// Usage: game_cards_bench [CARDS]   (default 500)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <filesystem>
#include <string>
#include <vector>

#include "card/analysis.h"
#include "card/editing.h"
#include "files/card_file.h"
#include "files/card_library.h"
#include "files/game_card_split.h"
#include "files/save_file.h"

namespace {

using Clock = std::chrono::steady_clock;

double ms_since(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// A card of fifteen one-block saves of fifteen games, numbered from `first`.
CardImage full_card(int first) {
  CardImage card;
  format_card(card);
  for (int slot = 0; slot < kSlotCount; ++slot) {
    uint8_t directory[kFrameSize] = {kStateFirst};
    write_le32(directory + kDirSize, kBlockSize);
    char name[32];
    std::snprintf(name, sizeof name, "BASLUS-%05dGAME", first + slot);
    std::copy_n(name, std::strlen(name), directory + kDirName);
    std::vector<uint8_t> data(kBlockSize, uint8_t(first + slot));
    data[0] = 'S';
    data[1] = 'C';
    data[2] = 0x11;
    data[3] = 1;
    place_save(card, directory, data.data(), data.size());
  }
  return card;
}

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::atoi(argv[1]) : 500;
  const std::string root = std::filesystem::temp_directory_path() / "quillcrest-game-cards-bench";
  std::filesystem::remove_all(root);
  setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);
  const auto card = std::make_unique<CardImage>(full_card(0));
  SlotTable slots;
  auto copy = std::make_unique<CardImage>(*card);
  analyse_card(*copy, slots, false);

  // A full card split: the plan (looking at the SD card's folders), the
  // fastest of five, then the writes.
  SplitPlan plan;
  double planned = 1e9;
  for (int run = 0; run < 5; ++run) {
    const Clock::time_point start = Clock::now();
    plan_split({SplitSource{"bench", card.get(), &slots}}, CardLayout::memcardpro, root + "/split", plan);
    planned = std::min(planned, ms_since(start));
  }
  Clock::time_point start = Clock::now();
  SplitWritten written;
  carry_out_split(plan, written);
  const double wrote = ms_since(start);
  std::printf("split of a full card into 15 game cards: plan %.2f ms, writing %zu card files %.2f ms\n", planned,
              written.cards.size(), wrote);

  // An SD card of `count` game cards, one save each.
  for (int first = 0; first * 15 < count; ++first) {
    const auto more = std::make_unique<CardImage>(full_card(1000 + first * 15));
    SlotTable more_slots;
    auto analysed = std::make_unique<CardImage>(*more);
    analyse_card(*analysed, more_slots, false);
    SplitPlan library;
    plan_split({SplitSource{"bench", more.get(), &more_slots}}, CardLayout::sd2psx, root + "/sd", library);
    carry_out_split(library, written);
  }
  for (int run = 0; run < 3; ++run) {
    start = Clock::now();
    std::vector<LibraryCard> cards;
    scan_library(root + "/sd", false, cards);
    std::printf("listing %zu game cards (run %d): %.1f ms\n", cards.size(), run + 1, ms_since(start));
  }
  std::filesystem::remove_all(root);
  return 0;
}
