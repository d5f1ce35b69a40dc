// The read and write jobs over a MemCARDuino, a DexDrive or PS1CardLink
// whose answers the input spoils, through the links' real code and a
// scripted serial port (scripted_serial_port.h) with virtual time.
//
// Input:
//   byte 0     the job (bits 0..1: 0 full read, 1 fast read, 2 write of the
//              differences, 3 write of the whole card) and the reader (bit
//              2: MemCARDuino, DexDrive; bit 3 set, bit 2 clear: PS1CardLink,
//              bit 4 its slot 2, the card of the other slot a decoy no job
//              may touch)
//   byte 1     the reader's own faults: bit 0 a board that boots slowly,
//              bit 1 old firmware at 38400 bit/s only, bit 2 a drive that
//              loses its power at frame command (byte 2) * 4, bit 3 the N64 DexDrive
//   byte 2     see bit 2
//   byte 3     K, the frames in which the card to write differs from what
//              the reader holds (at most 64), then K x 2 bytes, those frames
//   then events until the input ends, each:
//     2 bytes  how many answers pass untouched before it
//     1 byte   what becomes of the next answer (modulo 6): 0 lost; 1 cut
//              short (2 bytes, its new length modulo its length); 2 one bit
//              flipped (2 bytes position, 1 byte bit); 3 bytes of noise after
//              it (1 byte count, the bytes); 4 replaced by any bytes (2 bytes
//              length modulo 300, the bytes); 5 late: after the link's next
//              wait timed out.
//
// What a serial line does to an answer (lost, cut, a bit flipped, noise
// after it, late) the links must notice: then a read gives the card's own
// frames or fails leaving the card as it was, and after a write the snapshot
// differs from the reader's card at most in the one frame whose answer was
// spoiled for good. Answers replaced outright may pass the links' checks:
// then only what no answer can break is checked. Whatever happens, the link
// never waits more than 30 s without a frame going through.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "adaptor/transfer_jobs.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/scripted_serial_port.h"

namespace {

enum Job { kFullRead, kFastRead, kWriteDifferences, kWriteWhole };

constexpr size_t kMostDifferences = 64;
constexpr size_t kLongestForgery = 300;
constexpr double kLongestWaitMs = 30000;

CardImage stamped(uint8_t salt) {
  CardImage card;
  for (size_t i = 0; i < kCardSize; ++i) card.bytes[i] = uint8_t((i * 7) ^ (i >> 7) ^ (i >> 15) ^ salt);
  return card;
}

class AnswerScript {
 public:
  explicit AnswerScript(InputReader& input) : input_(input) { plan_next(); }
  bool forged() const { return forged_; }

  void apply(std::vector<uint8_t>& answer, bool& late) {
    if (until_next_ < 0) return;
    if (until_next_ > 0) {
      --until_next_;
      return;
    }
    switch (input_.byte() % 6) {
      case 0: answer.clear(); break;
      case 1: answer.resize(input_.le16() % answer.size()); break;
      case 2: {
        const size_t at = input_.le16() % answer.size();
        answer[at] ^= uint8_t(1 << (input_.byte() % 8));
        break;
      }
      case 3: {
        const std::vector<uint8_t> noise = input_.bytes(input_.byte());
        answer.insert(answer.end(), noise.begin(), noise.end());
        break;
      }
      case 4:
        answer = input_.bytes(input_.le16() % kLongestForgery);
        forged_ = true;
        break;
      case 5: late = true; break;
    }
    plan_next();
  }

 private:
  void plan_next() { until_next_ = input_.at_end() ? -1 : long(input_.le16()); }

  InputReader& input_;
  long until_next_ = -1;
  bool forged_ = false;
};

bool fast_read_frame(int f) { return f < 1 + kSlotCount || (f >= kFramesPerBlock && f % kFramesPerBlock < 4); }

bool same_frame(const CardImage& a, const CardImage& b, int f) {
  return std::memcmp(frame(a, f), frame(b, f), kFrameSize) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const CardImage on_card = stamped(0x11);
  static const CardImage in_memory = stamped(0x77);
  InputReader input(data, size);
  const uint8_t first = input.byte();
  const Job job = Job(first % 4);
  static const CardImage decoy = stamped(0x33);
  const ReaderKind kind = first & 4   ? ReaderKind::dexdrive
                          : first & 8 ? ReaderKind::ps1cardlink
                                      : ReaderKind::memcarduino;
  const int slot = kind == ReaderKind::ps1cardlink && (first & 16) ? 2 : 1;
  const uint8_t flags = input.byte();
  const uint8_t power_at = input.byte();
  SerialReaderFaults faults;
  faults.slow_boot = flags & 1;
  faults.only_38400 = flags & 2;
  if (flags & 4) faults.power_lost_at = power_at * 4;
  faults.n64 = flags & 8;
  const size_t differences = std::min<size_t>(input.byte(), kMostDifferences);
  auto card = std::make_unique<CardImage>(on_card);
  for (size_t n = 0; n < differences; ++n) {
    uint8_t* changed = frame(*card, int(input.le16() % kFrameCount));
    for (size_t i = 0; i < kFrameSize; ++i) changed[i] ^= uint8_t(0xA5 + n);
  }
  AnswerScript script(input);
  reset_scripted_port(kind, slot == 1 ? on_card : decoy, faults,
                      [&](std::vector<uint8_t>& answer, bool& late) { script.apply(answer, late); },
                      slot == 1 ? &decoy : &on_card);
  ScriptedPort& port = scripted_port();

  use_reader(ReaderChoice{kind, kScriptedPort, 0, slot});
  const Failure opened = open_reader();
  FUZZ_CHECK(port.now_ms <= kLongestWaitMs);
  const bool n64 = kind == ReaderKind::dexdrive && faults.n64;
  if (n64 && !script.forged()) FUZZ_CHECK(opened);  // never taken for a PS1 drive
  if (opened) FUZZ_CHECK(opened->text.find(kScriptedPort) != std::string::npos);
  double last_progress_ms = port.now_ms;
  const Progress progress = [&](int) {
    FUZZ_CHECK(port.now_ms - last_progress_ms <= kLongestWaitMs);
    last_progress_ms = port.now_ms;
  };

  if (!opened && (job == kFullRead || job == kFastRead)) {
    auto read = std::make_unique<CardImage>(in_memory);
    const Failure failure = read_card(*read, job == kFastRead, progress);
    if (failure) {
      FUZZ_CHECK(read->bytes == in_memory.bytes);  // a failed read leaves the card byte for byte
      FUZZ_CHECK(script.forged() || text_of(failure) == "Read Error.");
    } else if (!script.forged()) {
      for (int f = 0; f < kFrameCount; ++f) {
        const bool read_here = job == kFullRead || fast_read_frame(f);
        FUZZ_CHECK(same_frame(*read, read_here ? on_card : in_memory, f));
      }
    }
  } else if (!opened) {
    auto snapshot = std::make_unique<CardImage>(on_card);
    const Failure failure = write_card(*card, *snapshot, job == kWriteDifferences, progress);
    const CardImage& holds = card_in_slot(port.device, slot);
    int apart = 0;
    for (int f = 0; f < kFrameCount; ++f) {
      // The reader stores only what the link sent, and the link sends only the card.
      FUZZ_CHECK(same_frame(holds, on_card, f) || same_frame(holds, *card, f));
      if (same_frame(*snapshot, holds, f)) continue;
      ++apart;
      // Written, but its acknowledgement never came through.
      FUZZ_CHECK(failure && same_frame(holds, *card, f) && same_frame(*snapshot, on_card, f));
    }
    FUZZ_CHECK(script.forged() || apart <= 1);
    if (failure) FUZZ_CHECK(script.forged() || text_of(failure) == "Write Error");
    if (!failure && !script.forged())
      FUZZ_CHECK(holds.bytes == card->bytes && snapshot->bytes == card->bytes);
  }
  FUZZ_CHECK(port.now_ms - last_progress_ms <= kLongestWaitMs);
  // The console's other slot is never written, whatever came back on the line.
  if (kind == ReaderKind::ps1cardlink) FUZZ_CHECK(card_in_slot(port.device, 3 - slot).bytes == decoy.bytes);
  use_reader(ReaderChoice{});
  reset_scripted_port(kind, on_card, {}, {});
  return 0;
}
