// The readers of the MemCARDuino protocol on a serial port
// (memcarduino_protocol.h): a MemCARDuino board, and a PlayStation running
// PS1CardLink (ps1cardlink_protocol.h), which answers another ID, runs at
// one speed and is told the slot to use before each job.
#include <cstring>
#include <string>

#include "adaptor/memcarduino_protocol.h"
#include "adaptor/ps1cardlink_protocol.h"
#include "adaptor/reader.h"
#include "adaptor/serial_link.h"
#include "card/card_image.h"

namespace {

// The connection: one for the process, as with the PS3 adaptor. It stays
// open between jobs (opening resets many boards); a port that failed is
// closed and opened again by the next job.
struct MemcarduinoLink {
  SerialPort* port = nullptr;
  int speed = 0;
  int version = -1;  // the firmware's answer to GETVER, -1 when it gave none
  ReaderKind kind = ReaderKind::memcarduino;  // which of the two answered
  int slot = 1;                               // PS1CardLink: the slot chosen
};

MemcarduinoLink link;

void lose_port() {
  close_serial_port(link.port);
  link.port = nullptr;
}

bool send(const uint8_t* bytes, size_t count) {
  if (write_serial(link.port, bytes, count)) return true;
  lose_port();
  return false;
}

// The reader's answer to GETID: "MCDINO" from a MemCARDuino, "PS1CLNK" from
// PS1CardLink; either is no answer from the other.
const char* id_of(ReaderKind kind) { return kind == ReaderKind::ps1cardlink ? kPs1CardLinkId : kMcdId; }

// GETID, answered with the reader's ID. Bytes that a board's boot loader
// left, or that come before the answer, are passed over: the answer is the
// ID's length of bytes last received.
bool answers_getid() {
  discard_serial_input(link.port);
  if (!send(&kMcdGetId, 1)) return false;
  const char* id = id_of(link.kind);
  const size_t length = std::strlen(id);
  char tail[kPs1CardLinkIdLength] = {};
  for (size_t seen = 0; seen < 64; ++seen) {
    uint8_t byte;
    if (read_serial(link.port, &byte, 1, kMcdIdTimeoutMs) != 1) return false;
    std::memmove(tail, tail + 1, length - 1);
    tail[length - 1] = char(byte);
    if (std::memcmp(tail, id, length) == 0) return true;
  }
  return false;
}

bool answers_at(int speed, int attempts) {
  if (!set_serial_speed(link.port, speed)) return false;
  for (int attempt = 0; attempt < attempts && link.port; ++attempt)
    if (answers_getid()) {
      link.speed = speed;
      return true;
    }
  return false;
}

int firmware_version() {
  discard_serial_input(link.port);
  uint8_t version;
  if (!send(&kMcdGetVersion, 1) || read_serial(link.port, &version, 1, kMcdVersionTimeoutMs) != 1) return -1;
  return version;
}

Failure open_memcarduino(const ReaderChoice& choice) {
  lose_port();
  link.kind = ReaderKind::memcarduino;
  const int first = choice.baud ? choice.baud : kMemcarduinoSpeed;
  if (Failure failure = open_reader_port(choice, first, link.port)) return failure;
  const bool found = answers_at(first, kMcdBootAttempts) ||
                     (!choice.baud && link.port && answers_at(kMemcarduinoOldSpeed, kMcdOtherSpeedAttempts));
  if (!found) {
    lose_port();
    const std::string speeds = choice.baud ? "at " + std::to_string(choice.baud) + " bit/s"
                                           : "at 115200 and at 38400 bit/s";
    return fail("No MemCARDuino answers on " + choice.port + " (tried " + speeds + ").");
  }
  link.version = firmware_version();
  if (!link.port) return fail(reader_name(choice) + ": the port went away.");
  return std::nullopt;
}

Failure begin_job(const ReaderChoice& choice) {
  if (!link.port) return open_memcarduino(choice);
  return wait_for_quiet(link.port, 0) ? std::nullopt : open_memcarduino(choice);
}

// MCPORT: the console's slot for the frames that follow. It has no reply,
// so what the user chose with the pad is set again at every job.
bool select_slot(int slot) {
  link.slot = slot;
  const uint8_t command[kCardLinkSelectLength] = {kCardLinkSelectSlot, uint8_t(slot - 1)};
  discard_serial_input(link.port);
  return send(command, sizeof command);
}

Failure open_ps1cardlink(const ReaderChoice& choice) {
  lose_port();
  link.kind = ReaderKind::ps1cardlink;
  if (Failure failure = open_reader_port(choice, kPs1CardLinkSpeed, link.port)) return failure;
  if (!answers_at(kPs1CardLinkSpeed, kCardLinkIdAttempts)) {
    lose_port();
    return fail("No PS1CardLink answers on " + choice.port +
                " (at 115200 bit/s): is the console running it, showing \"Waiting for PC\"?");
  }
  link.version = firmware_version();
  if (!link.port || !select_slot(choice.slot)) return fail(reader_name(choice) + ": the port went away.");
  return std::nullopt;
}

Failure begin_ps1cardlink_job(const ReaderChoice& choice) {
  if (!link.port || !wait_for_quiet(link.port, 0)) return open_ps1cardlink(choice);
  if (!select_slot(choice.slot)) return open_ps1cardlink(choice);
  return std::nullopt;
}

using Outcome = FrameOutcome;

void put_frame_number(uint8_t* at, int frame_number) {
  at[0] = uint8_t(frame_number >> 8);
  at[1] = uint8_t(frame_number);
}

// One read of a frame: taken when the status is good and the CHK matches
// the data (a byte garbled on the line fails here); 0xFF means no card.
Outcome read_once(int frame_number, uint8_t* data) {
  uint8_t command[kMcdReadLength] = {kMcdRead};
  put_frame_number(command + 1, frame_number);
  uint8_t reply[kMcdReadReplyLength];
  discard_serial_input(link.port);
  if (!send(command, sizeof command)) return Outcome::lost;
  const int got = read_serial(link.port, reply, sizeof reply, kMcdReplyTimeoutMs);
  if (got < 0) return Outcome::lost;
  if (got != int(sizeof reply)) return Outcome::failed;
  if (reply[kMcdReadStatusAt] == kMcdBadSector) return Outcome::no_card;
  if (reply[kMcdReadStatusAt] != kMcdGood || reply[kMcdReadChecksumAt] != frame_transfer_check(frame_number, reply))
    return Outcome::failed;
  std::memcpy(data, reply, kFrameSize);
  return Outcome::done;
}

Outcome write_once(int frame_number, const uint8_t* data) {
  uint8_t command[kMcdWriteLength] = {kMcdWrite};
  put_frame_number(command + 1, frame_number);
  std::memcpy(command + kMcdWriteDataAt, data, kFrameSize);
  command[kMcdWriteChecksumAt] = frame_transfer_check(frame_number, data);
  discard_serial_input(link.port);
  if (!send(command, sizeof command)) return Outcome::lost;
  uint8_t status;
  const int got = read_serial(link.port, &status, 1, kMcdReplyTimeoutMs);
  if (got < 0) return Outcome::lost;
  if (got == 1 && status == kMcdGood) return Outcome::done;
  if (got == 1 && status == kMcdBadSector) return Outcome::no_card;
  return Outcome::failed;
}

// A frame that failed is sent again after the line went quiet, so that a
// late answer to the last attempt is not taken for the next one's.
Outcome with_attempts(Transfer direction, int frame_number, uint8_t* data) {
  Outcome outcome = Outcome::failed;
  for (int attempt = 0; attempt < kMcdAttempts; ++attempt) {
    if (attempt > 0 && !wait_for_quiet(link.port, kQuietMs)) return Outcome::lost;
    outcome = direction == Transfer::read ? read_once(frame_number, data) : write_once(frame_number, data);
    if (outcome != Outcome::failed) return outcome;
  }
  return outcome;
}

Failure transfer(Transfer direction, uint8_t* buffer, int first_frame, int frame_count,
                 const Progress& progress, int* transferred) {
  // A read or write of a frame the card does not have, or with no card in
  // the slot, ends with 0xFF.
  return transfer_serial_frames(link.port, with_attempts, lose_port, direction, buffer, first_frame, frame_count,
                                progress, transferred);
}

std::string found() {
  if (!link.speed) return "";
  return (link.version >= 0 ? "firmware " + std::to_string(link.version) + ", " : std::string()) +
         std::to_string(link.speed) + " bit/s";
}

// "version 1.1, slot 2": the version's digits are its nibbles.
std::string ps1cardlink_found() {
  if (!link.speed) return "";
  const std::string version =
      link.version >= 0 ? "version " + std::to_string(link.version >> 4) + "." + std::to_string(link.version & 0xF) + ", "
                        : std::string();
  return version + "slot " + std::to_string(link.slot);
}

}  // namespace

const ReaderBackend kMemcarduinoBackend = {open_memcarduino, begin_job, transfer, lose_port, found};
const ReaderBackend kPs1CardLinkBackend = {open_ps1cardlink, begin_ps1cardlink_job, transfer, lose_port,
                                           ps1cardlink_found};
