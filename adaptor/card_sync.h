// What the command line's "write" does: makes the real card equal a card
// image, sending only the frames that differ, in runs of consecutive frames
// with one detect per run, and reading them back to compare. The frames of
// the saves' blocks go before those of the directory (block 0): a write cut
// short (unplugged, power lost) before the directory leaves the card's old
// directory, never a new one listing saves whose blocks did not arrive.
#pragma once

#include <functional>
#include <vector>

#include "adaptor/reader.h"
#include "card/card_image.h"
#include "card/failure.h"

struct FrameRun {
  int first = 0;
  int count = 0;
};

// The frames in which two cards differ, in order.
std::vector<int> frames_differing(const CardImage& a, const CardImage& b);
// Frames grouped, in the order given, into runs of consecutive numbers.
std::vector<FrameRun> frame_runs(const std::vector<int>& frames);

enum class SyncStep { reading, writing, verifying };
// Called before each frame with the step, the frames done in it and its total.
using SyncProgress = std::function<void(SyncStep step, int done, int total)>;
// "reading", "writing", "verifying", as progress shows the step.
const char* sync_step_name(SyncStep step);

struct SyncReport {
  std::vector<int> written;     // frames the card acknowledged, in order
  std::vector<int> verified;    // frames read back equal to the image
  std::vector<int> mismatched;  // frames read back different, ascending
};

struct SyncOrders {
  bool all = false;         // write all 1024 frames, not only those that differ
  bool read_first = true;   // read the card before writing; always done without `all`
  bool verify = true;       // read the written frames back and compare them
};

// Called once the card was read, before any frame is sent, with what the
// card holds and the frames about to be written (perhaps none). A failure
// stops the job there, with nothing sent.
using BeforeWriting =
    std::function<Failure(const CardImage& on_card, const std::vector<int>& frames)>;

// Reads the whole card (unless `all` without `read_first`), then writes the
// frames of `card` that differ from it, or all 1024; then, with `verify`,
// reads the written frames back: all 1024 when the card read first has
// halves that answer alike (a fake 64 KB card, whose writes land twice).
// Fails with the link's text ("No PS1
// Memory Card Detected.", "Read Error.", "Write Error"), with the failure of
// `before_writing`, or when a frame read back differs with "Verify Error:
// frames ... differ on the card.". `report` tells what was done, on failure too.
Failure sync_card(const CardImage& card, const SyncOrders& orders, const BeforeWriting& before_writing,
                  const SyncProgress& progress, SyncReport& report);
