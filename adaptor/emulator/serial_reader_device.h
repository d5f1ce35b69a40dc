// An emulated serial card reader, a MemCARDuino board, a DexDrive or a
// PlayStation running PS1CardLink (with a card in each of its two slots),
// with a PS1 card in its slot: the bytes the host sends go in, the bytes the reader
// answers come out, with the faults users meet. No port and no clock of its
// own: the pseudo-terminal server (pty_reader.h) and the fuzzer's scripted
// port drive it, each with its own time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "adaptor/emulator/usb_emulator.h"  // EmulatorCounts
#include "adaptor/reader.h"
#include "card/card_image.h"

// A fault on the commands that name one frame.
enum class SerialFrameFault {
  none,
  refused,       // MemCARDuino: status 0x4E (a read or a write); DexDrive: ERROR
  bad_checksum,  // a read's data garbled on the line: its CHK does not match
  flipped_bit,   // a write acknowledged, but stored with one bit changed
  short_data,    // the card pulled out during a read: the reply cut short, no card from then on
};

struct SerialReaderFaults {
  bool slow_boot = false;   // MemCARDuino: resets when the port opens, boots ~2 s, sends junk
  bool only_38400 = false;  // MemCARDuino: old firmware; other speeds are noise to it
                            // (PS1CardLink has neither: no reset, 115200 bit/s only)
  bool silent = false;      // nothing answers
  bool n64 = false;         // DexDrive: the model for N64 controller paks
  bool half_size = false;   // a fake card holding 64 KB: frames F and F + 512 are one
  // Frame commands (reads and writes) are numbered from 0, over the
  // reader's whole life. -1: never.
  int no_card_from = -1;   // the slot empty from this command on
  int gone_at = -1;        // the reader pulled out as this command arrives
  int power_lost_at = -1;  // DexDrive: loses its power as this command arrives
  SerialFrameFault frame_fault = SerialFrameFault::none;
  int fault_frame = -1;
  int fault_times = -1;  // commands on the frame that get the fault; -1: all
};

// How long a slow-booting board ignores what it is sent after the port opened.
constexpr double kBootMs = 2000;

struct SerialReaderDevice {
  ReaderKind kind = ReaderKind::memcarduino;
  CardImage card;  // PS1CardLink: the card of the slot MCPORT chose
  // PS1CardLink: the other slot's card, and the slot chosen (0 or 1); MCPORT
  // swaps the two cards when it chooses the other slot.
  CardImage other_card;
  int slot = 0;
  SerialReaderFaults faults;
  EmulatorCounts counts;    // reads, writes, bad (no command), opens
  std::vector<int> written;  // frames stored, in order
  std::vector<int> written_slots;  // the slot (0, 1) each went to

  std::vector<uint8_t> input;  // received, not yet a whole command
  int frame_commands = 0;
  int faults_given = 0;
  bool card_out = false;
  bool gone = false;         // pulled out: the server lets the port go
  bool initialised = false;  // DexDrive: INIT and the handshake since power-on
  bool handshake_next = false;
  uint8_t last_reply = 0;    // DexDrive: LIGHT repeats it
  double boot_end_ms = -1;   // booting until then; -1: not booting
  bool boot_junk_due = false;
};

// `second_card` is the card of PS1CardLink's slot 2 (the other readers have
// one slot).
void reset_serial_device(SerialReaderDevice& device, ReaderKind kind, const CardImage& card,
                         const SerialReaderFaults& faults, const CardImage* second_card = nullptr);
// The card in the console's slot 1 or 2 (PS1CardLink), whichever is chosen.
const CardImage& card_in_slot(const SerialReaderDevice& device, int slot);
// The host opened the port at `now_ms`: a board resets (a slow one starts
// booting and sends its boot loader's bytes); a DexDrive, powered on its
// own, stays as it was.
void serial_device_opened(SerialReaderDevice& device, double now_ms, std::vector<uint8_t>& out);
// Bytes a booting board sends when its boot ends; the server calls this as
// time passes.
void serial_device_tick(SerialReaderDevice& device, double now_ms, std::vector<uint8_t>& out);
// Bytes from the host, sent at `speed` bit/s; what the reader answers is
// appended to `out`.
void serial_device_receive(SerialReaderDevice& device, const uint8_t* bytes, size_t count, int speed,
                           double now_ms, std::vector<uint8_t>& out);

// Faults as a comma-separated list: slow-boot, only-38400, silent, n64,
// half-size, no-card[@N], gone@N, power-loss@N, refused@F[*T],
// bad-checksum@F[*T], flipped-bit@F[*T], short-data@F. False when malformed.
bool parse_serial_faults(const std::string& text, SerialReaderFaults& faults);
