// Runs the four transfer jobs against the emulated adaptor, which takes a
// precise delay over every exchange, and compares each job's wall time with
// that floor (exchanges x delay). What lies above the floor is the program's
// own cost: building commands, checking replies, copying frames, progress.
//
// Usage: transfer_bench [DELAY_MS]   (default 1)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "adaptor/emulator/demo_card.h"
#include "adaptor/adaptor_link.h"
#include "adaptor/emulator/usb_emulator.h"
#include "adaptor/transfer_jobs.h"
#include "card/editing.h"

namespace {

using Clock = std::chrono::steady_clock;

// Stands in for the progress bar: one store a frame that cannot be optimised away.
volatile int progress_position = 0;
const Progress kProgress = [](int position) { progress_position = position; };

struct Timing {
  int exchanges = 0;
  double wall_ms = 0;
};

// Plugs in an adaptor holding `on_card`, then times `job`; false when the
// job failed or left the card holding something else than `expected`.
bool run(const char* name, const CardImage& on_card, const CardImage& expected, int delay_ms,
         const std::function<Failure()>& job) {
  EmulatorSetup setup;
  setup.delay_ms = delay_ms;
  reset_emulator(on_card, setup);
  if (Failure failure = open_adaptor()) {
    std::printf("%s: %s\n", name, failure->text.c_str());
    return false;
  }
  const Clock::time_point start = Clock::now();
  const Failure failure = job();
  const double wall_ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  if (failure || emulated_card().bytes != expected.bytes) {
    std::printf("%s: %s\n", name, failure ? failure->text.c_str() : "the card holds something else");
    return false;
  }
  const int exchanges = emulator_counts().exchanges();
  const double floor_ms = double(exchanges) * delay_ms;
  std::printf("%-22s %9d %11.1f %10.1f %8.4f\n", name, exchanges, wall_ms, floor_ms,
              floor_ms > 0 ? wall_ms / floor_ms : 0.0);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const int delay_ms = argc > 1 ? std::atoi(argv[1]) : 1;
  const CardImage demo = demo_card();
  CardImage blank;
  format_card(blank);
  // One save changed: a byte in every frame of the first save's block.
  CardImage changed = demo;
  for (int f = 0; f < kFramesPerBlock; ++f) frame(changed, kFramesPerBlock + f)[kFrameSize / 2] ^= 0xFF;

  std::printf("emulated adaptor, %d ms per exchange\n", delay_ms);
  std::printf("%-22s %9s %11s %10s %8s\n", "job", "exchanges", "wall ms", "floor ms", "ratio");
  bool good = true;
  CardImage card;
  good &= run("full read", demo, demo, delay_ms, [&] {
    card = blank;
    return read_card(card, false, kProgress);
  });
  good &= run("fast read", demo, demo, delay_ms, [&] {
    card = blank;
    return read_card(card, true, kProgress);
  });
  CardImage snapshot;
  good &= run("full write", blank, demo, delay_ms, [&] {
    snapshot = blank;
    return write_card(demo, snapshot, false, kProgress);
  });
  good &= run("one-save difference", demo, changed, delay_ms, [&] {
    snapshot = demo;
    return write_card(changed, snapshot, true, kProgress);
  });
  return good ? 0 : 1;
}
