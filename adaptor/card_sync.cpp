#include "adaptor/card_sync.h"

#include <cstring>
#include <memory>
#include <string>

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
  std::string text = "Verify Error: frame";
  if (report.mismatched.size() > 1) text += "s";
  for (size_t i = 0; i < report.mismatched.size(); ++i)
    text += (i ? ", " : " ") + std::to_string(report.mismatched[i]);
  return fail(text + (report.mismatched.size() > 1 ? " differ" : " differs") + " on the card.");
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

Failure sync_card(const CardImage& card, bool all, bool verify, const SyncProgress& progress,
                  SyncReport& report) {
  report = SyncReport{};
  if (Failure failure = begin_adaptor_job()) return failure;
  std::vector<int> frames;
  if (all) {
    for (int f = 0; f < kFrameCount; ++f) frames.push_back(f);
  } else {
    auto on_card = std::make_unique<CardImage>();
    if (Failure failure =
            transfer_frames(Transfer::read, on_card->bytes.data(), 0, kFrameCount,
                            step_progress(progress, SyncStep::reading, 0, 0, kFrameCount)))
      return failure;
    frames = frames_differing(card, *on_card);
  }
  const std::vector<FrameRun> runs = frame_runs(frames);
  const int total = int(frames.size());
  if (Failure failure = write_runs(card, runs, total, progress, report)) return failure;
  if (!verify) return std::nullopt;
  return verify_runs(card, runs, total, progress, report);
}
