#include "adaptor/emulator/usb_emulator.h"

#include <libusb.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>

#include "adaptor/emulator/emulator_state.h"
#include "adaptor/protocol.h"

// The one emulated adaptor. libusb declares the type and leaves it opaque.
struct libusb_device_handle {
  int unused;
};

namespace {

using Clock = std::chrono::steady_clock;

// What the PS1 card clocks out during a frame command, at the positions of
// the command bytes it answers: its flag byte, the two id bytes, then
// acknowledgements around the data. Only 55 5A and the data are tested by
// the program; the rest makes the replies look like the hardware's.
constexpr uint8_t kCardIdle = 0xFF;
constexpr uint8_t kCardFlag = 0x08;
constexpr uint8_t kCardId0 = 0x5A;
constexpr uint8_t kCardId1 = 0x5D;
constexpr uint8_t kCardAck0 = 0x5C;
constexpr uint8_t kCardAck1 = 0x5D;
constexpr uint8_t kCardGood = 'G';
constexpr uint8_t kNoCard = 0x02;      // detect's answer with the slot empty
constexpr uint8_t kNotTheByte = 0xFF;  // for the wrong-start and wrong-mark faults

struct Emulator {
  CardImage card;
  EmulatorSetup setup;
  EmulatorCounts counts;
  std::vector<int> read;
  std::vector<int> written;
  std::vector<uint8_t> command;
  int bad_replies_given = 0;
  bool set_up = false;  // by a test, or from the environment once
  bool initialised = false;
  bool claimed = false;
  std::optional<std::vector<uint8_t>> reply;  // the answer waiting to be received
  std::string state_path;
};

Emulator emulator;
libusb_device_handle adaptor_handle;

std::vector<uint8_t>& start_reply(int length) {
  emulator.reply.emplace(size_t(length), 0);
  (*emulator.reply)[0] = kReplyStart;
  return *emulator.reply;
}

void answer_detect() {
  const int number = emulator.counts.detects++;
  const DetectFault fault =
      number >= emulator.setup.detect_fault_from ? emulator.setup.detect_fault : DetectFault::none;
  std::vector<uint8_t>& reply = start_reply(kDetectReplyLength);
  reply[1] = fault == DetectFault::no_card ? kNoCard : kCardPresent;
  if (fault == DetectFault::short_reply) reply.pop_back();
  if (fault == DetectFault::long_reply) reply.push_back(0);
  if (fault == DetectFault::silent) emulator.reply.reset();
}

// Spoils the good reply now waiting when the fault applies to this frame
// and command.
void spoil_reply(int frame_number, bool is_write) {
  const EmulatorSetup& setup = emulator.setup;
  if (setup.reply_fault == ReplyFault::none || frame_number != setup.fault_frame) return;
  if (setup.fault_on_writes_only && !is_write) return;
  if (setup.fault_times >= 0 && emulator.bad_replies_given >= setup.fault_times) return;
  ++emulator.bad_replies_given;
  std::vector<uint8_t>& reply = *emulator.reply;
  switch (setup.reply_fault) {
    case ReplyFault::short_reply: reply.pop_back(); break;
    case ReplyFault::long_reply: reply.push_back(0); break;
    case ReplyFault::wrong_start: reply[0] = kNotTheByte; break;
    case ReplyFault::wrong_mark: reply[1] = kNotTheByte; break;
    case ReplyFault::silent: emulator.reply.reset(); break;
    case ReplyFault::none: break;
  }
}

// The link's own test of a frame reply: the whole length and 55 5A. The card
// took a write, and a read reached the program, only when it holds.
bool good_frame_reply(int length) {
  const std::optional<std::vector<uint8_t>>& reply = emulator.reply;
  return reply && int(reply->size()) == length && (*reply)[0] == kReplyStart &&
         (*reply)[1] == kFrameReplyMark;
}

// A frame reply: 55 5A, the count of the bytes that follow, then what the
// card clocked out while the command's bytes went in: idle, its flag, the two
// id bytes, and zeroes while it took the frame number.
uint8_t* start_frame_reply(int length) {
  uint8_t* reply = start_reply(length).data();
  reply[1] = kFrameReplyMark;
  reply[kLengthField] = uint8_t(length - 4);
  reply[kLengthField + 1] = uint8_t((length - 4) >> 8);
  const uint8_t card_head[] = {kCardIdle, kCardFlag, kCardId0, kCardId1};
  std::memcpy(reply + kCardCommandAt, card_head, sizeof card_head);
  return reply;
}

void answer_read(int frame_number) {
  ++emulator.counts.reads;
  // Then it acknowledges, repeats the frame number, sends the data, the
  // data's CHK and its status.
  uint8_t* data = start_frame_reply(kReadReplyLength) + kReadDataAt;
  data[-4] = kCardAck0;
  data[-3] = kCardAck1;
  data[-2] = uint8_t(frame_number >> 8);
  data[-1] = uint8_t(frame_number);
  std::memcpy(data, frame(emulator.card, frame_number), kFrameSize);
  uint8_t check = data[-2] ^ data[-1];
  for (size_t i = 0; i < kFrameSize; ++i) check ^= data[i];
  data[kFrameSize] = check;
  data[kFrameSize + 1] = kCardGood;
  spoil_reply(frame_number, false);
}

void answer_write(int frame_number) {
  ++emulator.counts.writes;
  // It acknowledges the data during the three bytes after CHK.
  uint8_t* tail = start_frame_reply(kWriteReplyLength) + kWriteChecksumAt + 1;
  tail[0] = kCardAck0;
  tail[1] = kCardAck1;
  tail[2] = kCardGood;
  spoil_reply(frame_number, true);
}

void store_written_frame(int frame_number) {
  std::memcpy(frame(emulator.card, frame_number), emulator.command.data() + kWriteDataAt, kFrameSize);
  emulator.written.push_back(frame_number);
  if (!emulator.state_path.empty()) store_state_frame(emulator.state_path, emulator.card, frame_number);
}

bool all_zero(const uint8_t* bytes, size_t count) {
  for (size_t i = 0; i < count; ++i)
    if (bytes[i]) return false;
  return true;
}

// The fixed part of a frame command: header, card address and command,
// the two zero bytes before the frame number, a frame on the card.
bool frame_command_fits(const std::vector<uint8_t>& c, int length, uint8_t card_command) {
  return int(c.size()) == length && c[0] == kCommandStart && c[1] == kFrameCommand &&
         c[kLengthField] == uint8_t(length - 4) && c[kLengthField + 1] == uint8_t((length - 4) >> 8) &&
         c[kCardCommandAt] == kCardAddress && c[kCardCommandAt + 1] == card_command &&
         c[kCardCommandAt + 2] == 0 && c[kCardCommandAt + 3] == 0 &&
         ((c[kFrameMsbAt] << 8) | c[kFrameLsbAt]) < kFrameCount;
}

bool good_write_command(const std::vector<uint8_t>& c) {
  if (!frame_command_fits(c, kWriteLength, kCardWrite)) return false;
  uint8_t check = c[kFrameMsbAt] ^ c[kFrameLsbAt];
  for (size_t i = 0; i < kFrameSize; ++i) check ^= c[kWriteDataAt + i];
  return check == c[kWriteChecksumAt] &&
         all_zero(c.data() + kWriteChecksumAt + 1, kWriteLength - kWriteChecksumAt - 1);
}

void answer_command() {
  const std::vector<uint8_t>& c = emulator.command;
  emulator.reply.reset();
  const int frame_number = c.size() > kFrameLsbAt ? (c[kFrameMsbAt] << 8) | c[kFrameLsbAt] : -1;
  const bool is_read = frame_command_fits(c, kReadLength, kCardRead) &&
                       all_zero(c.data() + kFrameLsbAt + 1, kReadLength - kFrameLsbAt - 1);
  const bool is_write = !is_read && good_write_command(c);
  if (c.size() == kDetectLength && c[0] == kCommandStart && c[1] == kDetectCommand)
    answer_detect();
  else if (is_read)
    answer_read(frame_number);
  else if (is_write)
    answer_write(frame_number);
  else
    ++emulator.counts.bad;
  if (emulator.setup.replace_reply) emulator.setup.replace_reply(c, emulator.reply);
  if (is_read && good_frame_reply(kReadReplyLength)) emulator.read.push_back(frame_number);
  if (is_write && good_frame_reply(kWriteReplyLength)) store_written_frame(frame_number);
}

// A busy wait: sleeping would overshoot by the scheduler's granularity,
// and the benchmark compares the program's time with these delays.
void wait_until(Clock::time_point end) {
  while (Clock::now() < end) {
  }
}

}  // namespace

void reset_emulator(const CardImage& card, const EmulatorSetup& setup) {
  // `card` may be the emulated card itself.
  auto fresh = std::make_unique<Emulator>();
  fresh->card = card;
  fresh->setup = setup;
  fresh->set_up = true;
  emulator = std::move(*fresh);
}

void use_environment_setup() { emulator.set_up = false; }

EmulatorCounts emulator_counts() { return emulator.counts; }
const CardImage& emulated_card() { return emulator.card; }
const std::vector<int>& frames_read() { return emulator.read; }
const std::vector<int>& frames_written() { return emulator.written; }
const std::vector<uint8_t>& last_command() { return emulator.command; }

int LIBUSB_CALL libusb_init(libusb_context** context) {
  if (!emulator.set_up) {
    emulator = Emulator{};
    setup_from_environment(emulator.card, emulator.setup, emulator.state_path);
    emulator.set_up = true;
    if (!emulator.state_path.empty()) {
      store_state_card(emulator.state_path, emulator.card);
      store_state_counts(emulator.state_path, emulator.counts, emulator.written);
    }
  }
  if (emulator.setup.init_fails) return LIBUSB_ERROR_OTHER;
  emulator.initialised = true;
  if (context) *context = nullptr;
  return LIBUSB_SUCCESS;
}

libusb_device_handle* LIBUSB_CALL libusb_open_device_with_vid_pid(libusb_context*, uint16_t vendor,
                                                                  uint16_t product) {
  if (!emulator.initialised || emulator.setup.no_device) return nullptr;
  if (vendor != kAdaptorVendor || product != kAdaptorProduct) return nullptr;
  return &adaptor_handle;
}

int LIBUSB_CALL libusb_claim_interface(libusb_device_handle* handle, int interface_number) {
  if (handle != &adaptor_handle || interface_number != kAdaptorInterface) return LIBUSB_ERROR_NOT_FOUND;
  if (emulator.setup.claim_fails) return LIBUSB_ERROR_BUSY;
  emulator.claimed = true;
  return LIBUSB_SUCCESS;
}

int LIBUSB_CALL libusb_bulk_transfer(libusb_device_handle* handle, unsigned char endpoint,
                                     unsigned char* data, int length, int* transferred,
                                     unsigned int timeout) {
  *transferred = 0;
  const bool usable = handle == &adaptor_handle && emulator.claimed &&
                      timeout == kTransferTimeoutMs && data && length >= 0;
  if (usable && endpoint == kEndpointOut) {
    const Clock::time_point start = Clock::now();
    emulator.command.assign(data, data + length);
    answer_command();
    if (!emulator.state_path.empty())
      store_state_counts(emulator.state_path, emulator.counts, emulator.written);
    wait_until(start + std::chrono::milliseconds(emulator.setup.delay_ms));
    *transferred = length;
    return LIBUSB_SUCCESS;
  }
  if (usable && endpoint == kEndpointIn) {
    // A real timeout would take `timeout` ms; the emulator answers at once.
    std::optional<std::vector<uint8_t>> reply;
    reply.swap(emulator.reply);
    if (!reply) return LIBUSB_ERROR_TIMEOUT;
    const int length_waiting = int(reply->size());
    *transferred = std::min(length_waiting, length);
    if (*transferred > 0) std::memcpy(data, reply->data(), size_t(*transferred));
    return length_waiting > length ? LIBUSB_ERROR_OVERFLOW : LIBUSB_SUCCESS;
  }
  ++emulator.counts.bad;
  return LIBUSB_ERROR_INVALID_PARAM;
}
