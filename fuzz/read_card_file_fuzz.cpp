// The card image file reader on files of any length, then the analysis that
// "Open MC/GME" runs on what it loaded.
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const ScratchFile scratch;
  static const CardImage before = card_before_the_read();
  FILE* file = std::fopen(scratch.path.c_str(), "wb");
  FUZZ_CHECK(file);
  FUZZ_CHECK(size == 0 || std::fwrite(data, 1, size, file) == size);
  FUZZ_CHECK(std::fclose(file) == 0);

  CardImage card = before;
  bool opened = false;
  const Failure failure = read_card_file(scratch.path, card, opened);
  FUZZ_CHECK(opened);
  // A GME file is known by its length alone; anything else is raw from its
  // first byte, and a file too short for a whole image changes nothing.
  const size_t start = size == kGmeFileSize ? kGmeHeaderSize : 0;
  if (size < start + kCardSize) {
    FUZZ_CHECK(text_of(failure) == "Wrong file size !" && failure->caption == "File Error");
    FUZZ_CHECK(card.bytes == before.bytes);
    return 0;
  }
  FUZZ_CHECK(!failure);
  FUZZ_CHECK(std::equal(card.bytes.begin(), card.bytes.end(), data + start));

  auto table = std::make_unique<SlotTable>();
  analyse_and_check(card, *table, false);
  return 0;
}
