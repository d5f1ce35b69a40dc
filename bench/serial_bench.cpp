// Times the window's transfer jobs over the emulated serial readers on a
// pseudo-terminal, through the real serial code, with the reader pacing
// every byte at the line's speed (10 bits a byte) in both directions. The
// ratio of the wall time to the bytes' own time on the wire is what the
// program and the pseudo-terminal add. A program to run by hand, not a test.
//
// Usage: serial_bench
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

#include "adaptor/dexdrive_protocol.h"
#include "adaptor/emulator/demo_card.h"
#include "adaptor/emulator/pty_reader.h"
#include "adaptor/memcarduino_protocol.h"
#include "adaptor/ps1cardlink_protocol.h"
#include "adaptor/transfer_jobs.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Line {
  const char* name;
  ReaderKind kind;
  const char* faults;
  int speed;
  size_t read_bytes;   // a frame read: command and answer
  size_t write_bytes;  // a frame write: command and answer
};

const Line kLines[] = {
    {"MemCARDuino 115200", ReaderKind::memcarduino, "", kMemcarduinoSpeed,
     kMcdReadLength + kMcdReadReplyLength, kMcdWriteLength + 1},
    {"MemCARDuino 38400", ReaderKind::memcarduino, "only-38400", kMemcarduinoOldSpeed,
     kMcdReadLength + kMcdReadReplyLength, kMcdWriteLength + 1},
    {"DexDrive 38400", ReaderKind::dexdrive, "", kDexDriveSpeed,
     kDexReadLength + kDexHeaderLength + kDexDataLength, kDexWriteLength + kDexHeaderLength},
    {"PS1CardLink 115200", ReaderKind::ps1cardlink, "", kPs1CardLinkSpeed,
     kMcdReadLength + kMcdReadReplyLength, kMcdWriteLength + 1},
};

// Plugs the reader in holding `on_card`, opens it, then times `job` over
// `frames` frames of `bytes` each; false when it failed or left the card
// holding something else than `expected`.
bool run(const Line& line, const char* job_name, const CardImage& on_card, const CardImage& expected,
         int frames, size_t bytes, const std::function<Failure()>& job) {
  PtyReaderSetup setup;
  setup.kind = line.kind;
  setup.paced = true;
  parse_serial_faults(line.faults, setup.faults);
  PtyReader reader;
  std::string why;
  if (!reader.start(on_card, setup, why)) {
    std::printf("%s: %s\n", line.name, why.c_str());
    return false;
  }
  use_reader(ReaderChoice{line.kind, reader.path(), 0});
  if (Failure failure = open_reader()) {
    std::printf("%s: %s\n", line.name, failure->text.c_str());
    return false;
  }
  const Clock::time_point start = Clock::now();
  const Failure failure = job();
  const double wall_ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  use_reader(ReaderChoice{});
  if (failure || reader.card().bytes != expected.bytes) {
    std::printf("%s, %s: %s\n", line.name, job_name, failure ? failure->text.c_str() : "the card holds something else");
    return false;
  }
  const double wire_ms = double(frames) * double(bytes) * 10.0 * 1000.0 / line.speed;
  std::printf("%-20s %-20s %7d %11.1f %11.1f %8.4f\n", line.name, job_name, frames, wall_ms, wire_ms,
              wall_ms / wire_ms);
  std::fflush(stdout);
  return true;
}

}  // namespace

int main() {
  const CardImage demo = demo_card();
  // One save changed: a byte in every frame of the first save's block.
  CardImage changed = demo;
  for (int f = 0; f < kFramesPerBlock; ++f) frame(changed, kFramesPerBlock + f)[kFrameSize / 2] ^= 0xFF;

  std::printf("emulated serial readers on a pseudo-terminal, paced at the line's speed\n");
  std::printf("%-20s %-20s %7s %11s %11s %8s\n", "reader", "job", "frames", "wall ms", "wire ms", "ratio");
  bool good = true;
  for (const Line& line : kLines) {
    CardImage card;
    good &= run(line, "full read", demo, demo, kFrameCount, line.read_bytes,
                [&] { return read_card(card, false, {}); });
    CardImage snapshot;
    good &= run(line, "one-save write", demo, changed, kFramesPerBlock, line.write_bytes, [&] {
      snapshot = demo;
      return write_card(changed, snapshot, true, {});
    });
  }
  return good ? 0 : 1;
}
