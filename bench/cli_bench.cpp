// Times quillcrest-cli's adaptor commands against the emulated adaptor (a
// precise 1 ms per exchange), as a user runs them: the whole process, from
// its start to its exit. The ratio to the floor (exchanges x 1 ms) is the
// command's own cost: starting, reading the card file, checking replies,
// writing the result file and the backup.
//
// Usage: cli_bench [DELAY_MS]   (default 1)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "adaptor/emulator/demo_card.h"
#include "tests/cli/run_program.h"

namespace {

using Clock = std::chrono::steady_clock;

void write_bytes(const std::string& path, const CardImage& card) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return;
  std::fwrite(card.bytes.data(), 1, card.bytes.size(), file);
  std::fclose(file);
}

// The commands the emulator counted: detects, reads, writes and bad ones.
int exchanges(const std::string& counts_path) {
  FILE* file = std::fopen(counts_path.c_str(), "r");
  if (!file) return -1;
  int total = 0;
  char key[32];
  int value = 0;
  while (std::fscanf(file, "%31s %d", key, &value) == 2) {
    const std::string name(key);
    if (name == "detects" || name == "reads" || name == "writes" || name == "bad") total += value;
  }
  std::fclose(file);
  return total;
}

bool run(const char* name, const std::string& folder, const CardImage& on_card,
         const std::vector<std::string>& arguments, int delay_ms) {
  const std::string real = folder + "/real.mcr";
  write_bytes(real, on_card);
  const Clock::time_point start = Clock::now();
  const ProgramRun result = run_program(QUILLCREST_CLI, arguments,
                                        {{"QUILLCREST_EMULATED_CARD", real},
                                         {"QUILLCREST_EMULATED_STATE", real},
                                         {"QUILLCREST_EMULATED_DELAY_MS", std::to_string(delay_ms)},
                                         {"XDG_DATA_HOME", folder + "/data"}});
  const double wall_ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  if (result.status != 0) {
    std::printf("%s: exit %d: %s", name, result.status, result.err.c_str());
    return false;
  }
  const int count = exchanges(real + ".counts");
  const double floor_ms = double(count) * delay_ms;
  std::printf("%-36s %9d %11.1f %10.1f %8.4f\n", name, count, wall_ms, floor_ms,
              floor_ms > 0 ? wall_ms / floor_ms : 0.0);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const int delay_ms = argc > 1 ? std::atoi(argv[1]) : 1;
  char pattern[] = "/tmp/quillcrest-cli-bench-XXXXXX";
  const std::string folder = mkdtemp(pattern);
  const CardImage demo = demo_card();
  CardImage blank;
  // One save changed: a byte in every frame of the first save's block.
  CardImage changed = demo;
  for (int f = 0; f < kFramesPerBlock; ++f) frame(changed, kFramesPerBlock + f)[kFrameSize / 2] ^= 0xFF;
  write_bytes(folder + "/demo.mcr", demo);
  write_bytes(folder + "/changed.mcr", changed);

  std::printf("quillcrest-cli on the emulated adaptor, %d ms per exchange\n", delay_ms);
  std::printf("%-36s %9s %11s %10s %8s\n", "command", "exchanges", "wall ms", "floor ms", "ratio");
  bool good = true;
  good &= run("read", folder, demo, {"read", folder + "/out.mcr"}, delay_ms);
  good &= run("write --all --no-verify --no-backup", folder, blank,
              {"write", folder + "/demo.mcr", "--all", "--no-verify", "--no-backup"}, delay_ms);
  good &= run("write --all", folder, blank, {"write", folder + "/demo.mcr", "--all"}, delay_ms);
  good &= run("write, one save changed", folder, demo, {"write", folder + "/changed.mcr"}, delay_ms);
  std::error_code left_behind;
  std::filesystem::remove_all(folder, left_behind);
  return good ? 0 : 1;
}
