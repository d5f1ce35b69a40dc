// Writes the demo card image that scripts/run.sh --emulated starts the
// emulated adaptor with.
#include <cstdio>

#include "adaptor/emulator/demo_card.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_demo_card FILE\n");
    return 2;
  }
  const CardImage card = demo_card();
  FILE* file = std::fopen(argv[1], "wb");
  if (!file) {
    std::perror(argv[1]);
    return 1;
  }
  const bool written = std::fwrite(card.bytes.data(), 1, card.bytes.size(), file) == card.bytes.size();
  if (std::fclose(file) != 0 || !written) {
    std::perror(argv[1]);
    return 1;
  }
  return 0;
}
