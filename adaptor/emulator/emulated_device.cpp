#include "adaptor/emulator/emulated_device.h"

#include <libusb.h>

#include <chrono>
#include <cstring>
#include <deque>
#include <memory>
#include <thread>

#include "adaptor/emulator/emulator_state.h"
#include "adaptor/emulator/usb_emulator.h"
#include "adaptor/protocol.h"

namespace {

using Clock = std::chrono::steady_clock;
using Reply = std::vector<uint8_t>;

// What the PS1 card clocks out during a frame command, at the positions of
// the command bytes it answers: its flag byte, the two id bytes, then
// acknowledgements around the data and its end status.
constexpr uint8_t kCardIdle = 0xFF;
constexpr uint8_t kCardFlag = 0x08;
constexpr uint8_t kCardId0 = 0x5A;
constexpr uint8_t kCardId1 = 0x5D;
constexpr uint8_t kCardAck0 = 0x5C;
constexpr uint8_t kCardAck1 = 0x5D;
constexpr uint8_t kNotTheByte = 0xFF;  // for the faults that spoil a byte

struct Emulator {
  CardImage card;
  EmulatorSetup setup;
  EmulatorCounts counts;
  std::vector<int> read;
  std::vector<int> written;
  std::vector<uint8_t> command;
  int bad_replies_given = 0;
  bool fault_applied = false;  // to the command just received
  bool gone_happened = false;
  bool set_up = false;  // by a test, or from the environment once
  bool initialised = false;  // by libusb_init
  bool opened = false;
  bool claimed = false;
  bool unplugged = false;
  int opens_until_back = 0;
  std::optional<Reply> reply;  // the answer being made to the command just received
  std::deque<Reply> waiting;   // replies on the reply endpoint, oldest first
  std::optional<Reply> late;   // arrives once the next receive has timed out
  std::string state_path;
};

Emulator emulator;

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
  reply[1] = fault == DetectFault::no_card    ? kNoCardInSlot
             : fault == DetectFault::ps2_card ? kPs2CardInSlot
                                              : kCardPresent;
  if (fault == DetectFault::short_reply) reply.pop_back();
  if (fault == DetectFault::long_reply) reply.push_back(0);
  if (fault == DetectFault::silent) emulator.reply.reset();
}

bool fault_spares(ReplyFault fault, bool is_write) {
  switch (fault) {
    case ReplyFault::refused:
    case ReplyFault::bad_sector:
    case ReplyFault::flipped_bit: return !is_write;
    case ReplyFault::bad_checksum:
    case ReplyFault::bad_echo:
    case ReplyFault::bad_end: return is_write;
    default: return !is_write && emulator.setup.fault_on_writes_only;
  }
}

// Spoils the good reply just made when the fault applies to this frame and
// command; a late reply is held back instead.
void spoil_reply(int frame_number, bool is_write) {
  const EmulatorSetup& setup = emulator.setup;
  if (setup.reply_fault == ReplyFault::none || frame_number != setup.fault_frame) return;
  if (fault_spares(setup.reply_fault, is_write)) return;
  if (setup.fault_times >= 0 && emulator.bad_replies_given >= setup.fault_times) return;
  ++emulator.bad_replies_given;
  emulator.fault_applied = true;
  std::vector<uint8_t>& reply = *emulator.reply;
  switch (setup.reply_fault) {
    case ReplyFault::short_reply: reply.pop_back(); break;
    case ReplyFault::long_reply: reply.push_back(0); break;
    case ReplyFault::wrong_start: reply[0] = kNotTheByte; break;
    case ReplyFault::wrong_mark: reply[1] = kNotTheByte; break;
    case ReplyFault::silent: emulator.reply.reset(); break;
    case ReplyFault::late: break;         // held back by answer_command
    case ReplyFault::flipped_bit: break;  // the reply is good; store_written_frame spoils the frame
    case ReplyFault::refused: reply[kWriteEndAt] = kCardEndBadChecksum; break;
    case ReplyFault::bad_sector: reply[kWriteEndAt] = kCardEndBadSector; break;
    case ReplyFault::bad_checksum: reply[kReadDataAt + frame_number % kFrameSize] ^= 0x10; break;
    case ReplyFault::bad_echo: reply[kReadEchoLsbAt] ^= 0x01; break;
    case ReplyFault::bad_end: reply[kReadEndAt] = kNotTheByte; break;
    case ReplyFault::none: break;
  }
}

// The link's own tests of a frame reply. The card took a write, and a read
// reached the program, only when they hold.
bool good_frame_start(const Reply& reply, size_t length) {
  return reply.size() == length && reply[0] == kReplyStart && reply[1] == kFrameReplyMark;
}

bool link_takes_read(const std::optional<Reply>& reply, int frame_number) {
  return reply && good_frame_start(*reply, kReadReplyLength) &&
         (*reply)[kReadEchoMsbAt] == uint8_t(frame_number >> 8) &&
         (*reply)[kReadEchoLsbAt] == uint8_t(frame_number) &&
         (*reply)[kReadChecksumAt] == frame_transfer_check(frame_number, reply->data() + kReadDataAt) &&
         (*reply)[kReadEndAt] == kCardEndGood;
}

bool link_takes_write(const std::optional<Reply>& reply) {
  return reply && good_frame_start(*reply, kWriteReplyLength) && (*reply)[kWriteEndAt] == kCardEndGood;
}

// A frame reply: 55 5A, the count of the bytes that follow, then what the
// card clocked out while the command's bytes went in: idle, its flag, the two
// id bytes, then while it takes the frame number a zero and, one byte late,
// the MSB it was sent.
uint8_t* start_frame_reply(int length, int frame_number) {
  uint8_t* reply = start_reply(length).data();
  reply[1] = kFrameReplyMark;
  reply[kLengthField] = uint8_t(length - 4);
  reply[kLengthField + 1] = uint8_t((length - 4) >> 8);
  const uint8_t card_head[] = {kCardIdle, kCardFlag, kCardId0, kCardId1};
  std::memcpy(reply + kCardCommandAt, card_head, sizeof card_head);
  reply[kFrameLsbAt] = uint8_t(frame_number >> 8);
  return reply;
}

void answer_read(int frame_number) {
  ++emulator.counts.reads;
  // Then it acknowledges, confirms the frame number, sends the data, the
  // data's CHK and its status.
  uint8_t* reply = start_frame_reply(kReadReplyLength, frame_number);
  reply[kReadEchoMsbAt - 2] = kCardAck0;
  reply[kReadEchoMsbAt - 1] = kCardAck1;
  reply[kReadEchoMsbAt] = uint8_t(frame_number >> 8);
  reply[kReadEchoLsbAt] = uint8_t(frame_number);
  std::memcpy(reply + kReadDataAt, frame(emulator.card, frame_number), kFrameSize);
  reply[kReadChecksumAt] = frame_transfer_check(frame_number, reply + kReadDataAt);
  reply[kReadEndAt] = kCardEndGood;
  spoil_reply(frame_number, false);
}

void answer_write(int frame_number) {
  ++emulator.counts.writes;
  // While the data goes in, each byte comes back one byte late; after CHK
  // it acknowledges and ends with its status.
  uint8_t* reply = start_frame_reply(kWriteReplyLength, frame_number);
  std::memcpy(reply + kWriteDataAt, emulator.command.data() + kFrameLsbAt, kFrameSize + 1);
  reply[kWriteChecksumAt + 1] = kCardAck0;
  reply[kWriteChecksumAt + 2] = kCardAck1;
  reply[kWriteEndAt] = kCardEndGood;
  spoil_reply(frame_number, true);
}

constexpr int kHalfCardFrames = kFrameCount / 2;

// A half-size card's second half is its first: the image keeps both equal,
// so that it shows what any read sees.
void mirror_halves(CardImage& card) {
  std::memcpy(frame(card, kHalfCardFrames), frame(card, 0), kHalfCardFrames * kFrameSize);
}

void store_written_frame(int frame_number) {
  uint8_t data[kFrameSize];
  std::memcpy(data, emulator.command.data() + kWriteDataAt, kFrameSize);
  if (emulator.fault_applied && emulator.setup.reply_fault == ReplyFault::flipped_bit)
    data[frame_number % kFrameSize] ^= 0x01;
  emulator.written.push_back(frame_number);
  const int first_copy = emulator.setup.half_size ? frame_number % kHalfCardFrames : frame_number;
  const int copies = emulator.setup.half_size ? 2 : 1;
  for (int n = 0; n < copies; ++n) {
    const int stored = first_copy + n * kHalfCardFrames;
    std::memcpy(frame(emulator.card, stored), data, kFrameSize);
    if (!emulator.state_path.empty()) store_state_frame(emulator.state_path, emulator.card, stored);
  }
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
  const int frame_number = (c[kFrameMsbAt] << 8) | c[kFrameLsbAt];
  return frame_transfer_check(frame_number, c.data() + kWriteDataAt) == c[kWriteChecksumAt] &&
         all_zero(c.data() + kWriteChecksumAt + 1, kWriteLength - kWriteChecksumAt - 1);
}

void answer_command() {
  const std::vector<uint8_t>& c = emulator.command;
  emulator.reply.reset();
  const int frame_number = c.size() > kFrameLsbAt ? (c[kFrameMsbAt] << 8) | c[kFrameLsbAt] : -1;
  const bool is_read = frame_command_fits(c, kReadLength, kCardRead) &&
                       all_zero(c.data() + kFrameLsbAt + 1, kReadLength - kFrameLsbAt - 1);
  const bool is_write = !is_read && good_write_command(c);
  emulator.fault_applied = false;
  if (c.size() == kDetectLength && c[0] == kCommandStart && c[1] == kDetectCommand)
    answer_detect();
  else if (is_read)
    answer_read(frame_number);
  else if (is_write)
    answer_write(frame_number);
  else
    ++emulator.counts.bad;
  if (emulator.setup.replace_reply) emulator.setup.replace_reply(c, emulator.reply);
  if (is_read && link_takes_read(emulator.reply, frame_number)) emulator.read.push_back(frame_number);
  if (is_write && link_takes_write(emulator.reply)) store_written_frame(frame_number);
  if (!emulator.reply) return;
  // A late reply reaches the reply endpoint only after the receive waiting
  // for it has given up.
  if (emulator.fault_applied && emulator.setup.reply_fault == ReplyFault::late)
    emulator.late = std::move(emulator.reply);
  else
    emulator.waiting.push_back(std::move(*emulator.reply));
  emulator.reply.reset();
}

// A busy wait: sleeping would overshoot by the scheduler's granularity,
// and the benchmark compares the program's time with these delays.
void wait_until(Clock::time_point end) {
  while (Clock::now() < end) {
  }
}

void store_counts() {
  if (!emulator.state_path.empty())
    store_state_counts(emulator.state_path, emulator.counts, emulator.written);
}

}  // namespace

void reset_emulator(const CardImage& card, const EmulatorSetup& setup) {
  // `card` may be the emulated card itself.
  auto fresh = std::make_unique<Emulator>();
  fresh->card = card;
  fresh->setup = setup;
  if (setup.half_size) mirror_halves(fresh->card);
  fresh->set_up = true;
  emulator = std::move(*fresh);
}

void use_environment_setup() { emulator.set_up = false; }

EmulatorCounts emulator_counts() { return emulator.counts; }
const CardImage& emulated_card() { return emulator.card; }
const std::vector<int>& frames_read() { return emulator.read; }
const std::vector<int>& frames_written() { return emulator.written; }
const std::vector<uint8_t>& last_command() { return emulator.command; }

bool emulated_power_on() {
  if (!emulator.set_up) {
    auto fresh = std::make_unique<Emulator>();  // on the heap: it holds a whole card
    setup_from_environment(fresh->card, fresh->setup, fresh->state_path);
    if (fresh->setup.half_size) mirror_halves(fresh->card);
    fresh->set_up = true;
    emulator = std::move(*fresh);
    if (!emulator.state_path.empty()) {
      store_state_card(emulator.state_path, emulator.card);
      store_counts();
    }
  }
  if (emulator.setup.init_fails) return false;
  emulator.initialised = true;
  return true;
}

bool emulated_device_listed() {
  if (!emulator.initialised || emulator.setup.no_device) return false;
  if (emulator.unplugged) {
    if (emulator.opens_until_back > 0) {
      --emulator.opens_until_back;
      return false;
    }
    // Plugged back in: a fresh adaptor, nothing waiting.
    emulator.unplugged = false;
    emulator.waiting.clear();
    emulator.late.reset();
  }
  return true;
}

int emulated_open() {
  if (!emulator.initialised || emulator.setup.no_device || emulator.unplugged)
    return LIBUSB_ERROR_NO_DEVICE;
  if (emulator.setup.no_access) return LIBUSB_ERROR_ACCESS;
  ++emulator.counts.opens;
  emulator.opened = true;
  store_counts();
  return LIBUSB_SUCCESS;
}

int emulated_claim(int interface_number) {
  if (!emulator.opened || interface_number != kAdaptorInterface) return LIBUSB_ERROR_NOT_FOUND;
  if (emulator.unplugged) return LIBUSB_ERROR_NO_DEVICE;
  if (emulator.setup.claim_fails) return LIBUSB_ERROR_BUSY;
  emulator.claimed = true;
  return LIBUSB_SUCCESS;
}

void emulated_close() {
  emulator.opened = false;
  emulator.claimed = false;
}

bool emulated_ready() { return emulator.opened && emulator.claimed; }
bool emulated_opened() { return emulator.opened; }
bool emulated_unplugged() { return emulator.unplugged; }

int emulated_send(const uint8_t* command, int length) {
  if (!emulator.gone_happened && emulator.counts.exchanges() == emulator.setup.gone_at_command) {
    emulator.gone_happened = true;
    emulator.unplugged = true;
    emulator.opens_until_back = emulator.setup.gone_for_opens;
    emulator.claimed = false;
  }
  if (emulator.unplugged) return LIBUSB_ERROR_NO_DEVICE;
  const Clock::time_point start = Clock::now();
  emulator.command.assign(command, command + length);
  answer_command();
  store_counts();
  wait_until(start + std::chrono::milliseconds(emulator.setup.delay_ms));
  return LIBUSB_SUCCESS;
}

std::optional<std::vector<uint8_t>> emulated_take_reply() {
  if (emulator.waiting.empty()) return std::nullopt;
  Reply reply = std::move(emulator.waiting.front());
  emulator.waiting.pop_front();
  return reply;
}

void emulated_receive_timed_out(unsigned timeout_ms) {
  if (emulator.setup.real_timeouts) std::this_thread::sleep_for(std::chrono::milliseconds(timeout_ms));
  if (emulator.late) emulator.waiting.push_back(std::move(*emulator.late));
  emulator.late.reset();
}

void emulated_count_drain() {
  ++emulator.counts.drains;
  store_counts();
}

void emulated_count_misuse() { ++emulator.counts.bad; }
