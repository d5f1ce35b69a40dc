// The read and write jobs against the emulated adaptor, with replies of any
// length and content taken from the input for any of their exchanges.
//
// Input:
//   byte 0     the job: 0 full read, 1 fast read, 2 write of the differences,
//              3 write of the whole card (modulo 4)
//   byte 1     K, the number of frames in which the card to write differs
//              from the last-read snapshot (at most 64)
//   K × 2      those frames (little-endian, modulo 1024)
//   then reply events until the input ends, each:
//     2 bytes  how many exchanges the emulator answers alone before it
//     1 byte   what becomes of the next reply (modulo 5): 0 none at all;
//              1 the emulator's reply cut or lengthened with zeros to a
//              length (2 bytes, modulo 320); 2 one byte of it set (2 bytes
//              position, 1 byte value); 3 a reply of a length (2 bytes,
//              modulo 320) made of the bytes that follow; 4 the emulator's
//              first two bytes and length, every other byte from the input.
//
// The target follows the exchanges itself: which command must come next,
// whether the link may take each reply (its length, 55 01 or 55 5A, and the
// card's confirmation, CHK and end status), what the card then holds. The
// job's outcome, the card image, the snapshot and the emulated card must
// agree with that.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "adaptor/adaptor_link.h"
#include "adaptor/emulator/usb_emulator.h"
#include "adaptor/protocol.h"
#include "adaptor/transfer_jobs.h"
#include "fuzz/fuzz_support.h"

namespace {

enum Job { kFullRead, kFastRead, kWriteDifferences, kWriteWhole };

constexpr size_t kMostDifferences = 64;
constexpr uint32_t kLongestReply = 320;  // past the link's 256-byte buffer
constexpr int kFastFrames = 4;           // the save header and three icon frames
const char* const kNoCard = "No PS1 Memory Card Detected.";
constexpr size_t kDetectNext = size_t(-1);  // the position before a call's first frame

// Every frame distinct from every other and from the same frame with another salt.
CardImage stamped(uint8_t salt) {
  CardImage card;
  for (size_t i = 0; i < kCardSize; ++i)
    card.bytes[i] = uint8_t((i * 7) ^ (i >> 7) ^ (i >> 15) ^ salt);
  return card;
}

// One detect and the frames that follow it.
struct TransferCall {
  std::vector<int> frames;
};

struct Exchanges {
  // What the link must send, and where it is.
  std::vector<TransferCall> calls;
  bool writing = false;
  const CardImage* card = nullptr;  // what the write job sends
  size_t call = 0;
  size_t index = kDetectNext;
  int attempts = 0;
  int last_progress = -1;
  // What came of it.
  std::string failure;  // the text the job must return; set once, then nothing more is sent
  bool stopped = false;
  CardImage card_holds;  // the emulated card, from the writes the link took
  std::vector<std::optional<std::vector<uint8_t>>> read_data =
      std::vector<std::optional<std::vector<uint8_t>>>(kFrameCount);
};

bool reply_taken(const std::optional<std::vector<uint8_t>>& reply, size_t length, uint8_t second) {
  return reply && reply->size() == length && (*reply)[0] == kReplyStart && (*reply)[1] == second;
}

// A read must also confirm its frame, carry a CHK that matches its data and
// end with the card's good status; a write must end with it.
bool read_taken(const std::optional<std::vector<uint8_t>>& reply, int f) {
  if (!reply_taken(reply, kReadReplyLength, kFrameReplyMark)) return false;
  const uint8_t* r = reply->data();
  uint8_t check = uint8_t(f >> 8) ^ uint8_t(f);
  for (size_t i = 0; i < kFrameSize; ++i) check ^= r[kReadDataAt + i];
  return r[kReadEchoMsbAt] == (f >> 8) && r[kReadEchoLsbAt] == (f & 0xFF) &&
         r[kReadChecksumAt] == check && r[kReadEndAt] == kCardEndGood;
}

bool write_taken(const std::optional<std::vector<uint8_t>>& reply) {
  return reply_taken(reply, kWriteReplyLength, kFrameReplyMark) &&
         (*reply)[kWriteEndAt] == kCardEndGood;
}

void stop(Exchanges& x, const char* text) {
  x.failure = text;
  x.stopped = true;
}

void next_frame(Exchanges& x) {
  x.attempts = 0;
  if (++x.index < x.calls[x.call].frames.size()) return;
  ++x.call;
  x.index = kDetectNext;
}

void follow(Exchanges& x, const std::vector<uint8_t>& command,
            const std::optional<std::vector<uint8_t>>& reply) {
  FUZZ_CHECK(!x.stopped && x.call < x.calls.size());
  if (x.index == kDetectNext) {
    FUZZ_CHECK(command == std::vector<uint8_t>({kCommandStart, kDetectCommand}));
    // Each call but the first begins once the one before reported its end.
    FUZZ_CHECK(x.call == 0 ? x.last_progress == -1 : x.last_progress == kProgressEnd);
    if (!reply_taken(reply, kDetectReplyLength, kCardPresent)) return stop(x, kNoCard);
    x.index = 0;
    return;
  }
  const int f = x.calls[x.call].frames[x.index];
  FUZZ_CHECK(x.last_progress == f);
  FUZZ_CHECK(command.size() == size_t(x.writing ? kWriteLength : kReadLength));
  FUZZ_CHECK(command[kCardCommandAt + 1] == (x.writing ? kCardWrite : kCardRead));
  FUZZ_CHECK(command[kFrameMsbAt] == (f >> 8) && command[kFrameLsbAt] == (f & 0xFF));
  if (!x.writing) {
    if (!read_taken(reply, f)) return stop(x, "Read Error.");
    x.read_data[f].emplace(reply->begin() + kReadDataAt, reply->begin() + kReadDataAt + kFrameSize);
    return next_frame(x);
  }
  FUZZ_CHECK(std::equal(command.begin() + kWriteDataAt, command.begin() + kWriteDataAt + kFrameSize,
                        frame(*x.card, f)));
  if (write_taken(reply)) {
    std::copy_n(command.begin() + kWriteDataAt, kFrameSize, frame(x.card_holds, f));
    return next_frame(x);
  }
  if (++x.attempts == kWriteAttempts) stop(x, "Write Error");
}

// Turns the input's events into replies.
class ReplyScript {
 public:
  explicit ReplyScript(InputReader& input) : input_(input) { plan_next(); }

  void apply(std::optional<std::vector<uint8_t>>& reply) {
    if (until_next_ < 0) return;
    if (until_next_ > 0) {
      --until_next_;
      return;
    }
    switch (input_.byte() % 5) {
      case 0: reply.reset(); break;
      case 1: own(reply).resize(input_.le16() % kLongestReply, 0); break;
      case 2: {
        std::vector<uint8_t>& bytes = own(reply);
        const size_t at = input_.le16();
        const uint8_t value = input_.byte();
        if (!bytes.empty()) bytes[at % bytes.size()] = value;
        break;
      }
      case 3: {
        std::vector<uint8_t> bytes = input_.bytes(input_.le16() % kLongestReply);
        reply = bytes;
        break;
      }
      case 4: {
        std::vector<uint8_t>& bytes = own(reply);
        for (size_t i = 2; i < bytes.size(); ++i) bytes[i] = input_.byte();
        break;
      }
    }
    plan_next();
  }

 private:
  // The emulator's reply, or an empty one where it gave none.
  static std::vector<uint8_t>& own(std::optional<std::vector<uint8_t>>& reply) {
    if (!reply) reply.emplace();
    return *reply;
  }
  void plan_next() { until_next_ = input_.at_end() ? -1 : long(input_.le16()); }

  InputReader& input_;
  long until_next_ = -1;
};

std::vector<TransferCall> read_calls(bool fast) {
  if (!fast) {
    TransferCall all;
    for (int f = 0; f < kFrameCount; ++f) all.frames.push_back(f);
    return {all};
  }
  std::vector<TransferCall> calls(1);
  for (int f = 0; f < 1 + kSlotCount; ++f) calls[0].frames.push_back(f);
  for (int b = 1; b < kBlockCount; ++b) {
    calls.emplace_back();
    for (int k = 0; k < kFastFrames; ++k) calls.back().frames.push_back(b * kFramesPerBlock + k);
  }
  return calls;
}

std::vector<TransferCall> write_calls(const CardImage& card, const CardImage& snapshot,
                                      bool whole) {
  std::vector<TransferCall> calls;
  for (int f = 0; f < kFrameCount; ++f)
    if (whole || std::memcmp(frame(card, f), frame(snapshot, f), kFrameSize) != 0)
      calls.push_back(TransferCall{{f}});
  return calls;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const CardImage on_card = stamped(0x11);
  static const CardImage in_memory = stamped(0x77);
  InputReader input(data, size);
  const Job job = Job(input.byte() % 4);
  const size_t differences = std::min<size_t>(input.byte(), kMostDifferences);
  // The card to write: the snapshot of the last read, which the emulated
  // card holds, with some frames changed.
  auto card = std::make_unique<CardImage>(on_card);
  for (size_t n = 0; n < differences; ++n) {
    uint8_t* changed = frame(*card, int(input.le16() % kFrameCount));
    for (size_t i = 0; i < kFrameSize; ++i) changed[i] ^= uint8_t(0xA5 + n);
  }
  ReplyScript script(input);

  auto x = std::make_unique<Exchanges>();
  x->card_holds = on_card;
  x->card = card.get();
  x->writing = job == kWriteDifferences || job == kWriteWhole;
  x->calls = x->writing ? write_calls(*card, on_card, job == kWriteWhole)
                         : read_calls(job == kFastRead);

  EmulatorSetup setup;
  setup.replace_reply = [&](const std::vector<uint8_t>& command,
                            std::optional<std::vector<uint8_t>>& reply) {
    script.apply(reply);
    follow(*x, command, reply);
  };
  reset_emulator(on_card, setup);
  FUZZ_CHECK(!open_adaptor());
  const Progress progress = [&](int position) { x->last_progress = position; };

  if (!x->writing) {
    auto read = std::make_unique<CardImage>(in_memory);
    const Failure failure = read_card(*read, job == kFastRead, progress);
    FUZZ_CHECK(text_of(failure) == x->failure);
    if (failure) {
      // A failed read leaves the card byte for byte.
      FUZZ_CHECK(read->bytes == in_memory.bytes);
    } else {
      FUZZ_CHECK(x->call == x->calls.size() && x->last_progress == kProgressEnd);
      for (int f = 0; f < kFrameCount; ++f) {
        const uint8_t* expected = x->read_data[f] ? x->read_data[f]->data() : frame(in_memory, f);
        FUZZ_CHECK(std::equal(expected, expected + kFrameSize, frame(*read, f)));
      }
    }
  } else {
    auto snapshot = std::make_unique<CardImage>(on_card);
    const Failure failure = write_card(*card, *snapshot, job == kWriteDifferences, progress);
    FUZZ_CHECK(text_of(failure) == x->failure);
    // The emulated card took exactly the writes whose replies the link took,
    // and the snapshot follows it, after a failure too.
    FUZZ_CHECK(emulated_card().bytes == x->card_holds.bytes);
    FUZZ_CHECK(snapshot->bytes == emulated_card().bytes);
    if (!failure) {
      FUZZ_CHECK(x->call == x->calls.size());
      FUZZ_CHECK(x->last_progress == (x->calls.empty() ? -1 : kProgressEnd));
      FUZZ_CHECK(snapshot->bytes == card->bytes);
    }
  }
  FUZZ_CHECK(emulator_counts().bad == 0);
  // Reset the emulator so the hook, which refers to this call's state, is gone.
  reset_emulator(on_card);
  return 0;
}
