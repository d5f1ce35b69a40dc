#include "adaptor/transfer_jobs.h"

#include <cstring>
#include <memory>

namespace {

// A fast read takes what the slot view shows: frame 0 and the fifteen
// directory frames, then each block's save header and its icon frames.
constexpr int kDirectoryFrames = 1 + kSlotCount;

Failure read_into(CardImage& card, bool fast, const Progress& progress) {
  if (!fast) return transfer_frames(Transfer::read, card.bytes.data(), 0, kFrameCount, progress);
  if (Failure failure = transfer_frames(Transfer::read, card.bytes.data(), 0, kDirectoryFrames, progress))
    return failure;
  for (int b = 1; b < kBlockCount; ++b) {
    if (Failure failure = transfer_frames(Transfer::read, block(card, b), b * kFramesPerBlock,
                                          kSaveHeadFrames, progress))
      return failure;
  }
  return std::nullopt;
}

}  // namespace

Failure read_card(CardImage& card, bool fast, const Progress& progress) {
  if (Failure failure = begin_reader_job()) return failure;
  // On the heap: the job's thread may have a small stack.
  auto staging = std::make_unique<CardImage>(card);
  if (Failure failure = read_into(*staging, fast, progress)) return failure;
  card = *staging;
  return std::nullopt;
}

Failure write_card(const CardImage& card, CardImage& snapshot, bool differences_only,
                   const Progress& progress) {
  if (Failure failure = begin_reader_job()) return failure;
  for (int f = 0; f < kFrameCount; ++f) {
    uint8_t* written = frame(snapshot, f);
    if (differences_only && std::memcmp(frame(card, f), written, kFrameSize) == 0) continue;
    // The link takes one buffer for both directions; a write only reads it.
    uint8_t data[kFrameSize];
    std::memcpy(data, frame(card, f), kFrameSize);
    if (Failure failure = transfer_frames(Transfer::write, data, f, 1, progress)) return failure;
    std::memcpy(written, data, kFrameSize);
  }
  return std::nullopt;
}
