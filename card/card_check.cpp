#include "card/card_check.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "card/analysis.h"
#include "card/slot_text.h"

const char kHalvesMirrorMeaning[] =
    "The card's second 64 KB answer the same bytes as its first: it holds 64 KB, not 128 KB, as "
    "fake cards do. Slot 8 is its directory again and slots 9 to 15 are slots 1 to 7, so a save "
    "written to slots 8 to 15 destroys the directory or the saves in slots 1 to 7.";

namespace {

constexpr int kHalfFrames = kFrameCount / 2;
// Each entry of the reserved list names a frame the card found broken: its
// first four bytes, little-endian. 0xFFFFFFFF is an unused entry; zero is
// taken as unused too, for lists that were zero-filled (frame 0, the header,
// is never replaced).
constexpr uint32_t kNoBrokenFrame = 0xFFFFFFFF;
constexpr int kFirstReplacementFrame = kFirstReservedFrame + kReservedFrameCount;  // 36

std::string slot_text(int slot) { return "slot " + std::to_string(slot + 1); }

std::string hex_byte(uint8_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", value);
  return text;
}

int directory_frame_number(int slot) { return slot + 1; }

bool known_state(uint8_t state) {
  return state == kStateFirst || state == kStateMiddle || state == kStateLast ||
         (state >= kStateNeverUsed && state <= kStateNeverUsed + 3);
}

bool further_block(uint8_t state) { return state == kStateMiddle || state == kStateLast; }

struct Check {
  const CardImage& card;
  std::vector<CardFault> faults;
  int chain_of[kSlotCount];  // the first block whose chain claimed the slot, or -1

  uint8_t state(int slot) const { return directory_frame(card, slot)[kDirState]; }
  uint8_t next(int slot) const { return directory_frame(card, slot)[kDirNext]; }

  void add(const char* name, std::vector<int> frames, std::string meaning) {
    std::sort(frames.begin(), frames.end());
    faults.push_back(CardFault{name, std::move(frames), std::move(meaning)});
  }

  void check_directory_frame(int slot) {
    const int number = directory_frame_number(slot);
    if (frame_is_bad(frame(card, number)))
      add("bad-directory-checksum", {number},
          "The directory frame of " + slot_text(slot) +
              " is damaged (its checksum is wrong): the slot shows as corrupted, and so does any "
              "save whose chain passes it.");
    const uint8_t s = state(slot);
    if (known_state(s)) return;
    const uint8_t kind = s & 0xF0;
    add("unknown-state", {number},
        "The directory frame of " + slot_text(slot) + " has the state " + hex_byte(s) +
            ", which is neither a used nor a free block: " +
            (kind == kInUseNibble  ? "the slot shows as corrupted."
             : kind == kFreeNibble ? "the slot counts as free."
                                   : "the slot shows as free, but no save can be placed in it."));
  }

  // Follows the links from a first block; every block it reaches is
  // claimed for that save. Returns the number of blocks of a whole chain,
  // or 0 when the chain is broken (the fault is then added).
  int walk_chain(int first) {
    std::vector<int> chain{first};
    chain_of[first] = first;
    const std::string save = "The save in " + slot_text(first);
    for (;;) {
      const int at = chain.back();
      const int link = next(at);
      if (link == kEndOfChain) {
        if (state(at) != kStateMiddle) return int(chain.size());
        add("broken-chain", {directory_frame_number(at)},
            save + " ends at " + slot_text(at) +
                ", a middle block: its last block is lost, and the save shows as corrupted.");
        return 0;
      }
      if (at != first && state(at) == kStateLast) {
        add("broken-chain", {directory_frame_number(at)},
            save + " has its last block in " + slot_text(at) + ", which links on to " +
                (link < kSlotCount ? slot_text(link) : "slot " + std::to_string(link + 1)) +
                ": where the save ends is uncertain.");
        return 0;
      }
      if (link >= kSlotCount) {
        add("broken-chain", {directory_frame_number(at)},
            save + " links from " + slot_text(at) + " to slot " + std::to_string(link + 1) +
                ", which is not on the card: its blocks after " + slot_text(at) +
                " are lost, and the save shows as corrupted.");
        return 0;
      }
      for (int visited : chain) {
        if (visited != link) continue;
        std::vector<int> frames;
        for (int slot = 0; slot < kSlotCount; ++slot)
          if (chain_of[slot] == first) frames.push_back(directory_frame_number(slot));
        add("looping-chain", frames,
            save + " links from " + slot_text(at) + " back to " + slot_text(link) +
                ": its chain never ends, and the save shows as corrupted.");
        return 0;
      }
      if (!further_block(state(link))) {
        add("broken-chain", {directory_frame_number(at), directory_frame_number(link)},
            save + " links from " + slot_text(at) + " to " + slot_text(link) +
                ", which is not a further block of a save (state " + hex_byte(state(link)) +
                "): its blocks from there on are lost, and the save shows as corrupted.");
        return 0;
      }
      if (chain_of[link] >= 0) {
        add("shared-block", {directory_frame_number(link)},
            slot_text(link) + " is a block of both the save in " + slot_text(chain_of[link]) +
                " and the save in " + slot_text(first) +
                ": it can hold only one of them, so the other is corrupted.");
        return 0;
      }
      chain_of[link] = first;
      chain.push_back(link);
    }
  }

  void check_save(int first) {
    const int blocks = walk_chain(first);
    const int number = directory_frame_number(first);
    const std::string save = "The save in " + slot_text(first);
    const uint32_t size = DirectoryFrame{directory_frame(card, first)}.size();
    if (blocks > 0 && size != uint32_t(blocks) * kBlockSize)
      add("size-mismatch", {number},
          save + " has " + blocks_text(blocks) + " in its chain, but its size field says " +
              std::to_string(size) + " bytes: programs that trust the size read too much or too little of it.");
    if (!save_header_well_formed(card, first))
      add("bad-save-header", {(first + 1) * kFramesPerBlock},
          save +
              " begins with a save header that is not well formed (\"SC\", the icon flag and "
              "the block count of its size field): the save shows as corrupted.");
  }

  void check_orphans() {
    for (int slot = 0; slot < kSlotCount; ++slot) {
      if (!further_block(state(slot)) || chain_of[slot] >= 0) continue;
      add("orphan-block", {directory_frame_number(slot)},
          slot_text(slot) +
              " is marked as a further block of a save, but no save's chain reaches it: it shows "
              "as corrupted, and its block is neither part of a save nor free.");
    }
  }

  void check_broken_frames() {
    for (int entry = 0; entry < kReservedFrameCount; ++entry) {
      const int list_frame = kFirstReservedFrame + entry;
      const uint32_t broken = read_le32(frame(card, list_frame));
      if (broken == kNoBrokenFrame || broken == 0) continue;
      if (broken >= uint32_t(kFrameCount)) {
        add("broken-sector", {list_frame},
            "The card's list of broken frames names frame " + std::to_string(broken) +
                ", which is not on the card: the list is damaged.");
        continue;
      }
      const int block_number = int(broken) / kFramesPerBlock;
      const std::string whose =
          block_number == 0 ? "the directory" : "the block of " + slot_text(block_number - 1);
      add("broken-sector", {list_frame, int(broken)},
          "The card lists frame " + std::to_string(broken) + " (in " + whose +
              ") as broken and keeps a replacement for it in block 0 (frames " +
              std::to_string(kFirstReplacementFrame) + " to " +
              std::to_string(kFirstReplacementFrame + kReservedFrameCount - 1) +
              "): this program reads and writes frame " + std::to_string(broken) +
              " itself, so what it shows there may not be what a PS1 reads.");
    }
  }
};

}  // namespace

std::string frames_in_words(const std::vector<int>& frames) {
  std::string text = frames.size() == 1 ? "frame " : "frames ";
  for (size_t i = 0; i < frames.size();) {
    size_t end = i;
    while (end + 1 < frames.size() && frames[end + 1] == frames[end] + 1) ++end;
    text += (i ? ", " : "") + std::to_string(frames[i]);
    if (end > i + 1) {  // three or more in a row
      text += ".." + std::to_string(frames[end]);
      i = end + 1;
    } else {
      ++i;
    }
  }
  return text;
}

bool halves_mirror(const CardImage& card, int frames_per_block) {
  if (!is_loaded(card)) return false;
  for (int f = 0; f < kHalfFrames; ++f) {
    if (f % kFramesPerBlock >= frames_per_block) continue;
    if (std::memcmp(frame(card, f), frame(card, f + kHalfFrames), kFrameSize) != 0) return false;
  }
  return true;
}

std::vector<CardFault> check_card(const CardImage& card) {
  Check check{card, {}, {}};
  if (!is_loaded(card)) {
    check.add("not-formatted", {0},
              "Frame 0 does not begin with \"MC\": the card is not formatted, so it holds no save "
              "this program can show, and a console asks to format it.");
    return check.faults;
  }
  if (frame_is_bad(frame(card, 0)))
    check.add("bad-header-checksum", {0},
              "The card header's checksum is wrong: this program refuses the card (\"" +
                  std::string(kWrongCardFormat) + "\").");
  for (int slot = 0; slot < kSlotCount; ++slot) {
    check.chain_of[slot] = -1;
    check.check_directory_frame(slot);
  }
  for (int slot = 0; slot < kSlotCount; ++slot)
    if (check.state(slot) == kStateFirst) check.check_save(slot);
  check.check_orphans();
  check.check_broken_frames();
  if (halves_mirror(card)) {
    std::vector<int> frames;
    for (int f = kHalfFrames; f < kFrameCount; ++f) frames.push_back(f);
    check.add("halves-mirror", frames, kHalvesMirrorMeaning);
  }
  return check.faults;
}

std::string check_report(const std::vector<CardFault>& faults, const char* line_end) {
  if (faults.empty()) return "The card is sound.";
  std::string text = std::to_string(faults.size()) + (faults.size() == 1 ? " fault" : " faults") + " found:";
  for (const CardFault& fault : faults) {
    std::string frames = frames_in_words(fault.frames);
    frames[0] = char(std::toupper(static_cast<unsigned char>(frames[0])));
    text += std::string(line_end) + line_end + frames + ": " + fault.meaning;
  }
  return text;
}
