// What the command line's "write" does: makes the real card equal a card
// image, sending only the frames that differ, in runs of consecutive frames
// with one detect per run, and reading them back to compare.
#pragma once

#include <functional>
#include <vector>

#include "adaptor/adaptor_link.h"
#include "card/card_image.h"
#include "card/failure.h"

struct FrameRun {
  int first = 0;
  int count = 0;
};

// The frames in which two cards differ, in order.
std::vector<int> frames_differing(const CardImage& a, const CardImage& b);
// Ascending frames grouped into runs of consecutive numbers.
std::vector<FrameRun> frame_runs(const std::vector<int>& frames);

enum class SyncStep { reading, writing, verifying };
// Called before each frame with the step, the frames done in it and its total.
using SyncProgress = std::function<void(SyncStep step, int done, int total)>;

struct SyncReport {
  std::vector<int> written;     // frames the card acknowledged, in order
  std::vector<int> verified;    // frames read back equal to the image
  std::vector<int> mismatched;  // frames read back different
};

// Reads the whole card and writes the frames of `card` that differ from it,
// or with `all` writes all 1024 frames without reading; then, with `verify`,
// reads the written frames back. Fails with the link's text ("No PS1
// Memory Card Detected.", "Read Error.", "Write Error"), or when a frame
// read back differs with "Verify Error: frames ... differ on the card.".
// `report` tells what was done, on failure too.
Failure sync_card(const CardImage& card, bool all, bool verify, const SyncProgress& progress,
                  SyncReport& report);
