// quillcrest-serial-emulator: an emulated MemCARDuino board, DexDrive or
// PlayStation running PS1CardLink on a pseudo-terminal, for demos and for
// the window's tests under Wine (whose COMn can name the pseudo-terminal
// through a dosdevices link).
//
//   quillcrest-serial-emulator memcarduino|dexdrive|ps1cardlink [--card FILE] [--card2 FILE]
//                              [--faults LIST] [--paced] [--state PATH] [--link PATH]
//
// --card2 is the card in PS1CardLink's slot 2 (--card the one in slot 1).
//
// Prints the port's path and answers on it until SIGTERM, SIGINT or SIGHUP.
// --link makes PATH a symbolic link to the pseudo-terminal, the port's path
// (removed at the end, or when the reader is pulled out).
#include <errno.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "adaptor/emulator/pty_reader.h"
#include "card/editing.h"

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: quillcrest-serial-emulator memcarduino|dexdrive|ps1cardlink [--card FILE] "
               "[--card2 FILE] [--faults LIST] [--paced] [--state PATH] [--link PATH]\n");
  return 2;
}

bool read_card(const std::string& path, CardImage& card) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  const size_t got = std::fread(card.bytes.data(), 1, kCardSize, file);
  const bool longer = std::fgetc(file) != EOF;
  std::fclose(file);
  return got == kCardSize && !longer;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  PtyReaderSetup setup;
  const std::string kind = argv[1];
  if (kind == "memcarduino") setup.kind = ReaderKind::memcarduino;
  else if (kind == "dexdrive") setup.kind = ReaderKind::dexdrive;
  else if (kind == "ps1cardlink") setup.kind = ReaderKind::ps1cardlink;
  else return usage();
  auto card = std::make_unique<CardImage>();
  format_card(*card);
  for (int i = 2; i < argc; ++i) {
    const std::string option = argv[i];
    const bool valued = option == "--card" || option == "--card2" || option == "--faults" || option == "--state" ||
                        option == "--link";
    if (valued && i + 1 == argc) return usage();
    if (option == "--paced") {
      setup.paced = true;
    } else if (option == "--card") {
      if (!read_card(argv[++i], *card)) {
        std::fprintf(stderr, "quillcrest-serial-emulator: %s is not a %zu-byte card image\n", argv[i], kCardSize);
        return 3;
      }
    } else if (option == "--card2") {
      auto second = std::make_shared<CardImage>();
      if (!read_card(argv[++i], *second)) {
        std::fprintf(stderr, "quillcrest-serial-emulator: %s is not a %zu-byte card image\n", argv[i], kCardSize);
        return 3;
      }
      setup.second_card = second;
    } else if (option == "--faults") {
      if (!parse_serial_faults(argv[++i], setup.faults)) {
        std::fprintf(stderr, "quillcrest-serial-emulator: bad faults: %s\n", argv[i]);
        return 3;
      }
    } else if (option == "--state") {
      setup.state_path = argv[++i];
    } else if (option == "--link") {
      setup.link_path = argv[++i];
    } else {
      return usage();
    }
  }
  // The signals are waited for, not handled.
  sigset_t stops;
  sigemptyset(&stops);
  for (int s : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&stops, s);
  pthread_sigmask(SIG_BLOCK, &stops, nullptr);

  // A session of its own, whose terminal the pseudo-terminal becomes: its
  // hangup, when the reader goes, then reaches this process alone.
  setsid();
  setup.claim_terminal = true;
  PtyReader reader;
  std::string why;
  if (!reader.start(*card, setup, why)) {
    std::fprintf(stderr, "quillcrest-serial-emulator: %s\n", why.c_str());
    return 1;
  }
  std::printf("%s\n", reader.path().c_str());
  std::fflush(stdout);
  int signal_number = 0;
  sigwait(&stops, &signal_number);
  reader.stop();
  return 0;
}
