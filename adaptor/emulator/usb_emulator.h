// An emulated PS3 memory card adaptor with a PS1 card plugged in, for the
// tests and the demo build. It defines the libusb functions the link calls
// (libusb_init, libusb_get_device_list, libusb_get_device_descriptor,
// libusb_open, libusb_claim_interface, libusb_bulk_transfer, libusb_close,
// libusb_free_device_list), so a program linked with it instead of libusb
// talks to an in-memory card through the real command bytes.
//
// Every command is checked (length, 0xAA, the constant bytes, frame number,
// CHK of writes, zero padding) and counted; a malformed one gets no reply.
// Replies wait on the reply endpoint in order until received, as in the
// adaptor. Faults make it answer as a missing or unplugged device, a missing
// card, a bad line, a late reply, a card that refuses a write, one that
// stores a write wrongly, or a fake card holding half what it claims.
//
// Tests set it up with reset_emulator(). A program that never calls it gets
// its setup from the QUILLCREST_EMULATED_* environment variables, read at its
// first libusb_init (see README.md beside this file).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "card/card_image.h"

// How the emulated adaptor answers a detect command.
enum class DetectFault {
  none,
  no_card,      // 55 00: the slot is empty
  ps2_card,     // 55 02: a PS2 card is in the slot
  short_reply,  // 55
  long_reply,   // 55 01 00
  silent,       // no reply: the receive fails
};

// How it answers a frame command when the fault applies. A write whose reply
// is spoiled is not stored.
enum class ReplyFault {
  none,
  // Reads and writes.
  short_reply,  // one byte less than the good reply
  long_reply,   // one byte more
  wrong_start,  // first byte not 0x55
  wrong_mark,   // second byte not 0x5A
  silent,       // no reply: the receive fails
  late,         // the reply comes after the receive timed out, and waits for the next one
  // Writes only; reads of the frame are answered well.
  refused,      // the card ends with 0x4E (checksum refused)
  bad_sector,   // the card ends with 0xFF (bad sector)
  flipped_bit,  // answered well, but the frame is stored with one bit changed
  // Reads only; writes of the frame are answered well.
  bad_checksum,  // a data byte garbled on the way: the card's CHK does not match it
  bad_echo,      // the card confirms another frame number
  bad_end,       // the card's end byte is not 0x47
};

// A reply given by the test instead of the emulated adaptor. It is called
// for every command received, malformed ones too, after the emulator has made
// its own answer (faults applied): `reply` arrives holding that answer, or
// nothing when it would give none, and leaves holding what is sent, or
// nothing for no reply at all (the receive then fails as after a timeout).
// Any length may be sent; one longer than the receiver's buffer overflows it.
// Whatever the source of the reply, a read counts as read and a write is
// stored in the card only when the reply sent is a good one as the link
// judges it (the full length, 55 5A, the card's good end byte and, for a
// read, the confirmed frame number and a matching CHK).
using ReplyHook = std::function<void(const std::vector<uint8_t>& command,
                                     std::optional<std::vector<uint8_t>>& reply)>;

struct EmulatorSetup {
  bool init_fails = false;   // libusb_init returns an error
  bool no_device = false;    // no adaptor is plugged in
  bool claim_fails = false;  // interface 0 is busy
  bool no_access = false;    // it is there, but the system refuses to open it
  DetectFault detect_fault = DetectFault::none;
  int detect_fault_from = 0;  // detects are numbered from 0; earlier ones answer 55 01
  ReplyFault reply_fault = ReplyFault::none;
  int fault_frame = -1;  // the frame whose commands get the bad reply
  int fault_times = -1;  // bad replies given before good ones again; -1: every time
  bool fault_on_writes_only = false;  // reads of the fault frame are answered well
  // The adaptor is unplugged as the command numbered `gone_at_command`
  // (counted from 0 over all commands) is sent: that send and every transfer
  // on the handle after it fail with LIBUSB_ERROR_NO_DEVICE. It is plugged
  // back in after it was missing from `gone_for_opens` device lists. -1: never.
  int gone_at_command = -1;
  int gone_for_opens = 0;
  // A receive that gets nothing waits out its whole timeout, as on the
  // hardware (5 s, or the link's short one). Off: it fails at once.
  bool real_timeouts = false;
  // A fake card holding 64 KB: frames F and F + 512 are the same storage,
  // so reads and writes of either reach the first half.
  bool half_size = false;
  int delay_ms = 0;      // every exchange takes at least this long (a busy wait)
  ReplyHook replace_reply;  // empty: the emulator answers alone
};

// Commands received since the last reset, by kind.
struct EmulatorCounts {
  int detects = 0;
  int reads = 0;
  int writes = 0;  // every write command, also those answered badly
  int bad = 0;     // malformed commands and transfers the link should never make
  int exchanges() const { return detects + reads + writes + bad; }
  // Not commands: receives with the link's short timeout, and the adaptor opened.
  int drains = 0;
  int opens = 0;
};

// Puts `card` into the emulated adaptor with the given faults, clears the
// counts and unplugs it from the program: the link must open it again.
void reset_emulator(const CardImage& card, const EmulatorSetup& setup = {});
// Makes the next libusb_init set the emulator up from the environment again.
void use_environment_setup();

EmulatorCounts emulator_counts();
const CardImage& emulated_card();
// The frames the card sent in good replies and the frames it stored, in order.
const std::vector<int>& frames_read();
const std::vector<int>& frames_written();
// The bytes of the last command received, malformed or not.
const std::vector<uint8_t>& last_command();

// Reads the fault list of QUILLCREST_EMULATED_FAULT into `setup`; false when
// it is malformed (then `setup` may be partly changed).
bool parse_faults(const std::string& text, EmulatorSetup& setup);
