// InterAct's DexDrive on a serial port (dexdrive_protocol.h).
#include <cstring>
#include <string>
#include <vector>

#include "adaptor/dexdrive_protocol.h"
#include "adaptor/reader.h"
#include "adaptor/serial_link.h"
#include "card/card_image.h"

namespace {

struct DexDriveLink {
  SerialPort* port = nullptr;
  int version = -1;  // firmware x.yz packed xxyyyyzz
};

DexDriveLink link;

void lose_port() {
  close_serial_port(link.port);
  link.port = nullptr;
}

struct Reply {
  enum { none, lost, garbled, whole } kind = none;
  uint8_t code = 0;
  std::vector<uint8_t> arguments;
};

// How many bytes follow the header of each reply.
size_t argument_count(uint8_t code) {
  switch (code) {
    case kDexId: return kDexIdLength;
    case kDexData: return kDexDataLength;
    case kDexCard: return kDexCardLength;
    default: return 0;
  }
}

// Sends a command ("IAI", its byte, its arguments) and takes its reply.
Reply exchange(uint8_t command, const uint8_t* arguments, size_t count) {
  Reply reply;
  std::vector<uint8_t> bytes(kDexPrefix, kDexPrefix + kDexPrefixLength);
  bytes.push_back(command);
  bytes.insert(bytes.end(), arguments, arguments + count);
  discard_serial_input(link.port);
  if (!write_serial(link.port, bytes.data(), bytes.size())) {
    reply.kind = Reply::lost;
    return reply;
  }
  uint8_t header[kDexHeaderLength];
  const int got = read_serial(link.port, header, sizeof header, kDexReplyTimeoutMs);
  if (got < 0) reply.kind = Reply::lost;
  if (got <= 0) return reply;
  if (got < int(sizeof header) || std::memcmp(header, kDexPrefix, kDexPrefixLength) != 0) {
    reply.kind = Reply::garbled;
    return reply;
  }
  reply.code = header[kDexPrefixLength];
  reply.arguments.resize(argument_count(reply.code));
  const int more = read_serial(link.port, reply.arguments.data(), reply.arguments.size(), kDexReplyTimeoutMs);
  if (more < 0) {
    reply.kind = Reply::lost;
  } else {
    // A card pulled out during a read cuts its DATA short.
    reply.kind = size_t(more) == reply.arguments.size() ? Reply::whole : Reply::garbled;
  }
  return reply;
}

Reply exchange(uint8_t command) { return exchange(command, nullptr, 0); }

enum class Start { ready, silent, n64, lost };

// INIT, and straight after its ID (within 100 ms) the handshake, which the
// drive answers ERROR; from then on it takes commands.
Start start_drive() {
  for (int attempt = 0; attempt < kDexInitAttempts; ++attempt) {
    if (attempt > 0 && !wait_for_quiet(link.port, kQuietMs)) return Start::lost;
    const Reply id = exchange(kDexInit, kDexInitBytes, kDexInitLength);
    if (id.kind == Reply::lost) return Start::lost;
    if (id.kind != Reply::whole || id.code != kDexId) continue;
    const char* model = reinterpret_cast<const char*>(id.arguments.data() + kDexIdModelAt);
    if (std::memcmp(model, kDexN64Model, kDexModelLength) == 0) return Start::n64;
    // Neither model: garbled on the line (a drive that is one of neither
    // would not take the PS1's commands either).
    if (std::memcmp(model, kDexPs1Model, kDexModelLength) != 0) continue;
    link.version = id.arguments[kDexIdVersionAt];
    const Reply handshake = exchange(kDexMagicHandshake);
    if (handshake.kind == Reply::lost) return Start::lost;
    if (handshake.kind == Reply::whole) return Start::ready;
  }
  return Start::silent;
}

Failure open_dexdrive(const ReaderChoice& choice) {
  lose_port();
  if (Failure failure = open_reader_port(choice, kDexDriveSpeed, link.port)) return failure;
  const Start start = start_drive();
  if (start == Start::ready) return std::nullopt;
  lose_port();
  if (start == Start::n64)
    return fail("The DexDrive on " + choice.port +
                " is the Nintendo 64 model: it reads N64 controller paks, not PS1 memory cards.");
  if (start == Start::lost) return fail(reader_name(choice) + ": the port went away.");
  return fail("No DexDrive answers on " + choice.port +
              ". It needs its own power (its keyboard pass-through plug or a power supply); after a "
              "failed start, unplug it and plug it in again.");
}

Failure begin_job(const ReaderChoice& choice) {
  if (!link.port) return open_dexdrive(choice);
  return wait_for_quiet(link.port, 0) ? std::nullopt : open_dexdrive(choice);
}

// A frame command's answer: what every frame comes to, or POUT.
enum class Outcome { done, no_card, failed, lost, powered_off };

FrameOutcome frame_outcome(Outcome outcome) {
  switch (outcome) {
    case Outcome::done: return FrameOutcome::done;
    case Outcome::no_card: return FrameOutcome::no_card;
    case Outcome::lost: return FrameOutcome::lost;
    default: return FrameOutcome::failed;
  }
}

// What every frame command's reply may say besides its own answer.
Outcome common_outcome(const Reply& reply) {
  if (reply.kind == Reply::lost) return Outcome::lost;
  if (reply.kind != Reply::whole) return Outcome::failed;
  if (reply.code == kDexNoCard) return Outcome::no_card;
  if (reply.code == kDexPout) return Outcome::powered_off;
  return Outcome::failed;
}

Outcome read_once(int frame_number, uint8_t* data) {
  const uint8_t number[2] = {uint8_t(frame_number), uint8_t(frame_number >> 8)};  // LSB first
  const Reply reply = exchange(kDexRead, number, sizeof number);
  if (reply.kind != Reply::whole || reply.code != kDexData) return common_outcome(reply);
  if (reply.arguments[kDexDataChecksumAt] != frame_transfer_check(frame_number, reply.arguments.data()))
    return Outcome::failed;
  std::memcpy(data, reply.arguments.data(), kFrameSize);
  return Outcome::done;
}

Outcome write_once(int frame_number, const uint8_t* data) {
  const uint8_t msb = uint8_t(frame_number >> 8), lsb = uint8_t(frame_number);
  uint8_t arguments[kDexWriteLength - kDexHeaderLength] = {msb, lsb, reversed_bits(msb), reversed_bits(lsb)};
  std::memcpy(arguments + (kDexWriteDataAt - kDexHeaderLength), data, kFrameSize);
  uint8_t check = 0;
  for (size_t i = 0; i < kDexWriteChecksumAt - kDexHeaderLength; ++i) check ^= arguments[i];
  arguments[kDexWriteChecksumAt - kDexHeaderLength] = check;
  const Reply reply = exchange(kDexWrite, arguments, sizeof arguments);
  // WRITE_SAME: the card held these bytes already.
  if (reply.kind == Reply::whole && (reply.code == kDexWriteOk || reply.code == kDexWriteSame))
    return Outcome::done;
  return common_outcome(reply);
}

// A drive that answers POUT lost its power since INIT (its keyboard plug
// moved, the computer slept): it is started again and the frame sent again.
FrameOutcome with_attempts(Transfer direction, int frame_number, uint8_t* data) {
  Outcome outcome = Outcome::failed;
  for (int attempt = 0; attempt < kDexAttempts; ++attempt) {
    if (attempt > 0 && !wait_for_quiet(link.port, kQuietMs)) return FrameOutcome::lost;
    outcome = direction == Transfer::read ? read_once(frame_number, data) : write_once(frame_number, data);
    if (outcome == Outcome::powered_off) {
      const Start start = start_drive();
      if (start == Start::lost) return FrameOutcome::lost;
      if (start != Start::ready) return FrameOutcome::failed;
      continue;
    }
    if (outcome != Outcome::failed) return frame_outcome(outcome);
  }
  return frame_outcome(outcome);
}

Failure transfer(Transfer direction, uint8_t* buffer, int first_frame, int frame_count,
                 const Progress& progress, int* transferred) {
  return transfer_serial_frames(link.port, with_attempts, lose_port, direction, buffer, first_frame, frame_count,
                                progress, transferred);
}

// Firmware x.yz, packed xxyyyyzz.
std::string found() {
  if (link.version < 0) return "";
  return "PS1 model, firmware " + std::to_string(link.version >> 6) + "." +
         std::to_string((link.version >> 2) & 0x0F) + std::to_string(link.version & 0x03);
}

}  // namespace

const ReaderBackend kDexDriveBackend = {open_dexdrive, begin_job, transfer, lose_port, found};
