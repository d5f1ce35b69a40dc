// The per-game cards' untrusted inputs: the SD card's ini files, the save
// names game IDs are read from, and the game card found on the SD card,
// which a split extends. Invariants: an ini section's entries are trimmed
// single lines; a game ID is the normalised form of a product code the save
// name holds; a split plan places each save exactly (the planned card holds
// it byte for byte) or says why not, and keeps every save the card already
// held, byte for byte; nothing is written.
//
// Input:
//   bytes 0..1  the length of the ini text, little-endian; then that text
//   bytes       3 bytes: the length of the source card's prefix (le24); then it
//   the rest    the game card already on the SD card, laid over a formatted card
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "card/save_name.h"
#include "files/card_library.h"
#include "files/folders.h"
#include "files/game_card_split.h"
#include "files/ini_file.h"
#include "files/save_copy.h"
#include "files/save_file.h"
#include "fuzz/fuzz_support.h"

namespace {

void check_ini(const std::string& text) {
  for (const char* section : {"PS1", "ChannelName"}) {
    for (const auto& [key, value] : ini_section(text, section)) {
      FUZZ_CHECK(!key.empty());
      for (const std::string& part : {key, value}) {
        FUZZ_CHECK(part.find('\n') == std::string::npos);
        FUZZ_CHECK(part.empty() || (part.front() != ' ' && part.back() != ' '));
      }
    }
  }
}

void check_game_id(const std::string& name) {
  const std::string id = game_id_in_save_name(name);
  if (id.empty()) return;
  FUZZ_CHECK(id.size() == 10 && id[4] == '-');
  FUZZ_CHECK(normalised_game_id(id) == id);
  for (size_t i = 0; i < 4; ++i) FUZZ_CHECK(std::toupper(static_cast<unsigned char>(name[2 + i])) == id[i]);
}

// The folder the game cards are planned under, made once per run and
// removed when the fuzzer ends (the path outlives every static: exit
// handlers run after the statics made before them are destroyed).
const std::string& sd_card() {
  static const std::string* folder = [] {
    char pattern[] = "/tmp/quillcrest-fuzz-XXXXXX";
    auto* made = new std::string(mkdtemp(pattern));
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(sd_card(), ignored);
    });
    return made;
  }();
  return *folder;
}

std::unique_ptr<SlotTable> analysed(const CardImage& card, bool& ok) {
  auto slots = std::make_unique<SlotTable>();
  auto copy = std::make_unique<CardImage>(card);
  ok = !analyse_card(*copy, *slots, false);
  return slots;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  InputReader input(data, size);
  const std::vector<uint8_t> ini_bytes = input.bytes(input.le16());
  const std::string ini(ini_bytes.begin(), ini_bytes.end());
  check_ini(ini);
  auto source = std::make_unique<CardImage>(card_from_prefix(input.bytes(input.le24())));
  make_loaded(*source);
  auto existing = std::make_unique<CardImage>(card_from_prefix(input.rest()));
  make_loaded(*existing);
  bool source_ok = false, existing_ok = false;
  const auto source_slots = analysed(*source, source_ok);
  const auto existing_slots = analysed(*existing, existing_ok);
  if (!source_ok) return 0;
  for (int slot = 0; slot < kSlotCount; ++slot)
    check_game_id(DirectoryFrame{directory_frame(*source, slot)}.name());

  // Every save of the source goes to one game card, the one already there.
  const std::string cards = sd_card() + "/MemoryCards";
  const std::string path = cards + "/Other/Other-1.mcd";
  make_folders(cards + "/Other");
  for (int slot = 0; slot < kSlotCount; ++slot) {
    char* name = reinterpret_cast<char*>(directory_frame(*source, slot) + kDirName);
    if (source_slots->status[slot] > 0) name[2] = '#';  // no game ID: the card "Other"
    store_checksum(directory_frame(*source, slot));
  }
  const auto renamed_slots = analysed(*source, source_ok);
  FILE* file = std::fopen(path.c_str(), "wb");
  FUZZ_CHECK(file);
  std::fwrite(existing->bytes.data(), 1, kCardSize, file);
  std::fclose(file);

  SplitPlan plan;
  FUZZ_CHECK(!plan_split({SplitSource{"fuzz", source.get(), renamed_slots.get()}}, CardLayout::memcardpro,
                         sd_card(), plan));
  for (const SplitEntry& entry : plan.entries) {
    if (entry.outcome != SplitOutcome::added) {
      FUZZ_CHECK(entry.outcome == SplitOutcome::already_there || !entry.why.empty());
      continue;
    }
    FUZZ_CHECK(existing_ok || entry.path != path);
    SaveImport save;
    FUZZ_CHECK(!take_save(*source, entry.slot, save));
    for (const SplitCard& card : plan.cards)
      if (card.path == entry.path) FUZZ_CHECK(slot_holding(*card.card, *card.slots, save) >= 0);
  }
  for (const SplitCard& card : plan.cards) {
    if (card.path != path || !card.failure.empty()) continue;
    // Extended, never replaced: what the card held is all still there.
    for (int slot = 0; slot < kSlotCount; ++slot) {
      if (existing_slots->status[slot] <= 0) continue;
      SaveImport kept;
      if (take_save(*existing, slot, kept)) continue;
      FUZZ_CHECK(slot_holding(*card.card, *card.slots, kept) >= 0);
    }
  }
  // The plan wrote nothing: the card file is as it was.
  FILE* again = std::fopen(path.c_str(), "rb");
  auto read_back = std::make_unique<CardImage>();
  FUZZ_CHECK(again && std::fread(read_back->bytes.data(), 1, kCardSize, again) == kCardSize);
  std::fclose(again);
  FUZZ_CHECK(read_back->bytes == existing->bytes);
  return 0;
}
