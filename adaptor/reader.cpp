#include "adaptor/reader.h"

#include <cstdlib>

namespace {

ReaderChoice chosen;

const ReaderBackend& backend() {
  switch (chosen.kind) {
    case ReaderKind::memcarduino: return kMemcarduinoBackend;
    case ReaderKind::dexdrive: return kDexDriveBackend;
    case ReaderKind::ps1cardlink: return kPs1CardLinkBackend;
    case ReaderKind::ps3: break;
  }
  return kPs3Backend;
}

constexpr int kHighestBaud = 4000000;

// "@BAUD" at the end of a MemCARDuino's port; 0 when there is none.
std::optional<int> speed_suffix(std::string& port) {
  const size_t at = port.rfind('@');
  if (at == std::string::npos) return 0;
  const std::string digits = port.substr(at + 1);
  if (digits.empty() || digits.size() > 7 || digits.find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  const int baud = std::atoi(digits.c_str());
  if (baud <= 0 || baud > kHighestBaud) return std::nullopt;
  port.resize(at);
  return baud;
}

}  // namespace

const char* reader_kind_name(ReaderKind kind) {
  switch (kind) {
    case ReaderKind::memcarduino: return "MemCARDuino";
    case ReaderKind::dexdrive: return "DexDrive";
    case ReaderKind::ps1cardlink: return "PS1CardLink";
    case ReaderKind::ps3: break;
  }
  return "PS3 Memory Card Adaptor";
}

std::optional<ReaderChoice> parse_reader(const std::string& text) {
  if (text == "ps3") return ReaderChoice{};
  const size_t colon = text.find(':');
  if (colon == std::string::npos) return std::nullopt;
  const std::string kind = text.substr(0, colon);
  ReaderChoice choice;
  choice.port = text.substr(colon + 1);
  if (kind == "memcarduino") {
    choice.kind = ReaderKind::memcarduino;
    const std::optional<int> baud = speed_suffix(choice.port);
    if (!baud) return std::nullopt;
    choice.baud = *baud;
  } else if (kind == "ps1cardlink") {
    choice.kind = ReaderKind::ps1cardlink;
    // ":2" names the console's second slot; it runs at 115200 bit/s alone.
    const size_t slot_colon = choice.port.rfind(':');
    const std::string slot = slot_colon == std::string::npos ? "" : choice.port.substr(slot_colon + 1);
    if (slot == "1" || slot == "2") {
      choice.slot = slot[0] - '0';
      choice.port.resize(slot_colon);
    } else if (slot_colon != std::string::npos && slot.find_first_not_of("0123456789") == std::string::npos) {
      return std::nullopt;  // a slot the console does not have
    }
    std::string port = choice.port;
    if (speed_suffix(port) != 0) return std::nullopt;
  } else if (kind == "dexdrive") {
    choice.kind = ReaderKind::dexdrive;
    // It runs at 38400 bit/s alone.
    std::string port = choice.port;
    if (speed_suffix(port) != 0) return std::nullopt;
  } else {
    return std::nullopt;
  }
  if (choice.port.empty()) return std::nullopt;
  return choice;
}

std::string reader_text(const ReaderChoice& choice) {
  switch (choice.kind) {
    case ReaderKind::memcarduino:
      return "memcarduino:" + choice.port + (choice.baud ? "@" + std::to_string(choice.baud) : "");
    case ReaderKind::dexdrive: return "dexdrive:" + choice.port;
    case ReaderKind::ps1cardlink: return "ps1cardlink:" + choice.port + (choice.slot == 2 ? ":2" : "");
    case ReaderKind::ps3: break;
  }
  return "ps3";
}

std::string reader_name(const ReaderChoice& choice) {
  if (choice.kind == ReaderKind::ps3) return reader_kind_name(choice.kind);
  return std::string(reader_kind_name(choice.kind)) + " on " + choice.port +
         (choice.kind == ReaderKind::ps1cardlink && choice.slot == 2 ? ", slot 2" : "");
}

void use_reader(const ReaderChoice& choice) {
  if (choice == chosen) return;
  backend().close();
  chosen = choice;
}

const ReaderChoice& current_reader() { return chosen; }

Failure open_reader() { return backend().open(chosen); }
Failure begin_reader_job() { return backend().begin_job(chosen); }

Failure transfer_frames(Transfer direction, uint8_t* buffer, int first_frame, int frame_count,
                        const Progress& progress, int* transferred) {
  return backend().transfer_frames(direction, buffer, first_frame, frame_count, progress, transferred);
}

std::string reader_found() { return backend().found(); }
