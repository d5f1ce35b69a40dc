// analyse_card on any card image, with and without corrupted saves allowed.
//
// Input: the card image (131072 bytes; a shorter input is laid over a
// freshly formatted card, a longer one is cut).
#include <cstddef>
#include <cstdint>
#include <memory>

#include "card/analysis.h"
#include "fuzz/fuzz_support.h"

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
  } else {
    // A failed analysis unloads the card: analysing it again fails too.
    FUZZ_CHECK(!analyse_and_check(card, *table, true));
  }
  return 0;
}
