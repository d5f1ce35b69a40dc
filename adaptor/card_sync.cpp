#include "adaptor/card_sync.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "card/card_check.h"

namespace {

// The link counts frames within one transfer; the progress counts them
// over a whole step.
Progress step_progress(const SyncProgress& progress, SyncStep step, int done_before, int first,
                       int total) {
  if (!progress) return {};
  return [=](int position) {
    if (position != kProgressEnd) progress(step, done_before + position - first, total);
  };
}

Failure write_runs(const CardImage& card, const std::vector<FrameRun>& runs, int total,
                   const SyncProgress& progress, SyncReport& report) {
  auto buffer = std::make_unique<CardImage>(card);  // the link takes a writable buffer
  for (const FrameRun& run : runs) {
    int done = 0;
    const Failure failure =
        transfer_frames(Transfer::write, frame(*buffer, run.first), run.first, run.count,
                        step_progress(progress, SyncStep::writing, int(report.written.size()),
                                      run.first, total),
                        &done);
    for (int n = 0; n < done; ++n) report.written.push_back(run.first + n);
    if (failure) return failure;
  }
  return std::nullopt;
}

Failure verify_runs(const CardImage& card, const std::vector<FrameRun>& runs, int total,
                    const SyncProgress& progress, SyncReport& report) {
  auto read_back = std::make_unique<CardImage>();
  int checked = 0;
  for (const FrameRun& run : runs) {
    const Failure failure = transfer_frames(
        Transfer::read, frame(*read_back, run.first), run.first, run.count,
        step_progress(progress, SyncStep::verifying, checked, run.first, total));
    if (failure) return failure;
    checked += run.count;
    for (int f = run.first; f < run.first + run.count; ++f) {
      const bool same = std::memcmp(frame(card, f), frame(*read_back, f), kFrameSize) == 0;
      (same ? report.verified : report.mismatched).push_back(f);
    }
  }
  if (report.mismatched.empty()) return std::nullopt;
  std::sort(report.mismatched.begin(), report.mismatched.end());
  return fail("Verify Error: " + frames_in_words(report.mismatched) +
              (report.mismatched.size() > 1 ? " differ" : " differs") + " on the card.");
}

}  // namespace

std::vector<int> frames_differing(const CardImage& a, const CardImage& b) {
  std::vector<int> frames;
  for (int f = 0; f < kFrameCount; ++f)
    if (std::memcmp(frame(a, f), frame(b, f), kFrameSize) != 0) frames.push_back(f);
  return frames;
}

std::vector<FrameRun> frame_runs(const std::vector<int>& frames) {
  std::vector<FrameRun> runs;
  for (int f : frames) {
    if (!runs.empty() && runs.back().first + runs.back().count == f)
      ++runs.back().count;
    else
      runs.push_back(FrameRun{f, 1});
  }
  return runs;
}

namespace {

// The directory block last.
std::vector<int> in_writing_order(const std::vector<int>& frames) {
  std::vector<int> ordered;
  for (int f : frames)
    if (f >= kFramesPerBlock) ordered.push_back(f);
  for (int f : frames)
    if (f < kFramesPerBlock) ordered.push_back(f);
  return ordered;
}

}  // namespace

const char* sync_step_name(SyncStep step) {
  switch (step) {
    case SyncStep::reading: return "reading";
    case SyncStep::writing: return "writing";
    case SyncStep::verifying: return "verifying";
  }
  return "";
}

Failure sync_card(const CardImage& card, const SyncOrders& orders, const BeforeWriting& before_writing,
                  const SyncProgress& progress, SyncReport& report) {
  report = SyncReport{};
  if (Failure failure = begin_reader_job()) return failure;
  std::vector<int> frames;
  if (orders.all) {
    for (int f = 0; f < kFrameCount; ++f) frames.push_back(f);
  }
  bool fake_card = false;
  if (!orders.all || orders.read_first) {
    auto on_card = std::make_unique<CardImage>();
    if (Failure failure =
            transfer_frames(Transfer::read, on_card->bytes.data(), 0, kFrameCount,
                            step_progress(progress, SyncStep::reading, 0, 0, kFrameCount)))
      return failure;
    if (!orders.all) frames = frames_differing(card, *on_card);
    fake_card = halves_mirror(*on_card);
    if (before_writing) {
      if (Failure failure = before_writing(*on_card, frames)) return failure;
    }
  }
  const std::vector<FrameRun> runs = frame_runs(in_writing_order(frames));
  const int total = int(frames.size());
  if (Failure failure = write_runs(card, runs, total, progress, report)) return failure;
  if (!orders.verify) return std::nullopt;
  // A fake card's frames F and F + 512 are one: a write to one changed the
  // other too, where no write was meant, so every frame is read back.
  if (fake_card) return verify_runs(card, {FrameRun{0, kFrameCount}}, kFrameCount, progress, report);
  return verify_runs(card, runs, total, progress, report);
}
