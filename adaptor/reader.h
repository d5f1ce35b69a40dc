// The card readers the transfer jobs run over: Sony's PS3 USB adaptor, and
// the serial readers (a board running the MemCARDuino firmware, the
// DexDrive, a PlayStation running PS1CardLink). Each moves 128-byte frames
// through the same few operations, a table of functions as a libusb backend
// has; the jobs (transfer_jobs.h, card_sync.h) call only the functions
// below, whatever reader was chosen.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "adaptor/frame_transfer.h"
#include "card/failure.h"

enum class ReaderKind { ps3, memcarduino, dexdrive, ps1cardlink };

// A reader as the user names it (--reader, QUILLCREST_READER, the window's
// choice): "ps3", "memcarduino:PORT[@BAUD]", "dexdrive:PORT" or
// "ps1cardlink:PORT[:SLOT]".
struct ReaderChoice {
  ReaderKind kind = ReaderKind::ps3;
  std::string port;  // serial readers: "/dev/ttyUSB0", "COM3"
  int baud = 0;      // MemCARDuino: 0 tries 115200 bit/s, then 38400
  int slot = 1;      // PS1CardLink: the console's slot, 1 or 2
  bool operator==(const ReaderChoice& o) const {
    return kind == o.kind && port == o.port && baud == o.baud && slot == o.slot;
  }
};

inline const char kReaderForms[] =
    "ps3, memcarduino:PORT[@BAUD], dexdrive:PORT or ps1cardlink:PORT[:SLOT]";

// Reads the --reader form; nothing when the text names no reader.
std::optional<ReaderChoice> parse_reader(const std::string& text);
// The --reader form of a choice, which parse_reader reads back.
std::string reader_text(const ReaderChoice& choice);
// For messages and menus: "PS3 Memory Card Adaptor", "MemCARDuino on COM3",
// "PS1CardLink on COM3" (slot 1), "PS1CardLink on COM3, slot 2".
std::string reader_name(const ReaderChoice& choice);
// "MemCARDuino", "DexDrive", "PS1CardLink".
const char* reader_kind_name(ReaderKind kind);

// What each reader implements.
struct ReaderBackend {
  // Connects and checks that the reader answers as one; a failure names the
  // reader and its port.
  Failure (*open)(const ReaderChoice& choice);
  // Readies the reader for a job: connects again when the connection was
  // lost since (unplugged, power lost), and takes away stale replies.
  Failure (*begin_job)(const ReaderChoice& choice);
  // Checks that a card is there, then moves frame_count frames from
  // first_frame on, in order; stops at the first failing frame with "No PS1
  // Memory Card Detected.", "Read Error." or "Write Error", the frames before
  // it done. `transferred`, when given, receives how many went through.
  Failure (*transfer_frames)(Transfer direction, uint8_t* buffer, int first_frame, int frame_count,
                             const Progress& progress, int* transferred);
  // Lets the connection go, so that another program may use the port.
  void (*close)();
  // What the last good open learnt of the reader ("firmware 4, 115200
  // bit/s"); empty when nothing.
  std::string (*found)();
};

extern const ReaderBackend kPs3Backend;
extern const ReaderBackend kMemcarduinoBackend;
extern const ReaderBackend kDexDriveBackend;
extern const ReaderBackend kPs1CardLinkBackend;

// The reader the jobs use from now on; the PS3 adaptor until this is
// called. A change lets the connection to the reader before it go.
void use_reader(const ReaderChoice& choice);
const ReaderChoice& current_reader();

// The current reader's operations (see ReaderBackend).
Failure open_reader();
Failure begin_reader_job();
Failure transfer_frames(Transfer direction, uint8_t* buffer, int first_frame, int frame_count,
                        const Progress& progress, int* transferred = nullptr);
std::string reader_found();
