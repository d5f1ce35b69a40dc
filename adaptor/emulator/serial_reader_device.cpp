#include "adaptor/emulator/serial_reader_device.h"

#include <cstdlib>
#include <cstring>
#include <utility>

#include "adaptor/dexdrive_protocol.h"
#include "adaptor/memcarduino_protocol.h"
#include "adaptor/ps1cardlink_protocol.h"

namespace {

// What a board's boot loader may leave on the line: at reset, and as it
// hands over to the firmware.
constexpr uint8_t kBootJunk[] = {0x00, 0xFE, 0x14, 0x10, 0xF8};
constexpr uint8_t kBootEndJunk[] = {0xFF, 0x00, 0x30};
constexpr uint8_t kMcdFirmwareVersion = 0x04;
constexpr uint8_t kCardLinkVersion = 0x11;  // 1.1
constexpr uint8_t kDexFirmwareVersion = 0x46;  // 1.12, packed xxyyyyzz
constexpr int kHalfCardFrames = kFrameCount / 2;

void put(std::vector<uint8_t>& out, const uint8_t* bytes, size_t count) {
  out.insert(out.end(), bytes, bytes + count);
}

int stored_frame(const SerialReaderDevice& d, int frame_number) {
  return d.faults.half_size ? frame_number % kHalfCardFrames : frame_number;
}

void store(SerialReaderDevice& d, int frame_number, const uint8_t* data, bool flip) {
  uint8_t bytes[kFrameSize];
  std::memcpy(bytes, data, kFrameSize);
  if (flip) bytes[frame_number % kFrameSize] ^= 0x01;
  d.written.push_back(frame_number);
  d.written_slots.push_back(d.slot);
  const int first = stored_frame(d, frame_number);
  std::memcpy(frame(d.card, first), bytes, kFrameSize);
  if (d.faults.half_size) std::memcpy(frame(d.card, first + kHalfCardFrames), bytes, kFrameSize);
}

// The faults that come with the arrival of a frame command; false when the
// reader is gone and answers nothing more.
bool frame_command_arrives(SerialReaderDevice& d) {
  const int number = d.frame_commands++;
  if (number == d.faults.gone_at) d.gone = true;
  if (d.faults.no_card_from >= 0 && number >= d.faults.no_card_from) d.card_out = true;
  return !d.gone;
}

// The fault for this frame, counted when it is given.
SerialFrameFault fault_on(SerialReaderDevice& d, int frame_number) {
  if (d.faults.frame_fault == SerialFrameFault::none || frame_number != d.faults.fault_frame) return {};
  if (d.faults.fault_times >= 0 && d.faults_given >= d.faults.fault_times) return {};
  ++d.faults_given;
  return d.faults.frame_fault;
}

// MemCARDuino.

void mcd_read(SerialReaderDevice& d, int frame_number, std::vector<uint8_t>& out) {
  if (!frame_command_arrives(d)) return;
  ++d.counts.reads;
  uint8_t reply[kMcdReadReplyLength] = {};
  const bool on_card = frame_number < kFrameCount && !d.card_out;
  if (on_card) std::memcpy(reply, frame(d.card, stored_frame(d, frame_number)), kFrameSize);
  reply[kMcdReadChecksumAt] = frame_transfer_check(frame_number, reply);
  reply[kMcdReadStatusAt] = on_card ? kMcdGood : kMcdBadSector;
  switch (on_card ? fault_on(d, frame_number) : SerialFrameFault::none) {
    case SerialFrameFault::refused: reply[kMcdReadStatusAt] = kMcdBadChecksum; break;
    case SerialFrameFault::bad_checksum: reply[frame_number % kFrameSize] ^= 0x10; break;
    case SerialFrameFault::short_data:
      d.card_out = true;
      return put(out, reply, kFrameSize / 2);
    default: break;
  }
  put(out, reply, sizeof reply);
}

void mcd_write(SerialReaderDevice& d, const uint8_t* command, std::vector<uint8_t>& out) {
  if (!frame_command_arrives(d)) return;
  ++d.counts.writes;
  const int frame_number = (command[1] << 8) | command[2];
  const uint8_t* data = command + kMcdWriteDataAt;
  uint8_t status = kMcdGood;
  if (frame_number >= kFrameCount || d.card_out) {
    status = kMcdBadSector;
  } else if (command[kMcdWriteChecksumAt] != frame_transfer_check(frame_number, data)) {
    status = kMcdBadChecksum;
  } else {
    const SerialFrameFault fault = fault_on(d, frame_number);
    if (fault == SerialFrameFault::refused) status = kMcdBadChecksum;
    else store(d, frame_number, data, fault == SerialFrameFault::flipped_bit);
  }
  out.push_back(status);
}

// PS1CardLink's MCPORT: a slot other than the two is not taken.
void select_slot(SerialReaderDevice& d, uint8_t slot) {
  if (slot > 1 || slot == d.slot) return;
  std::swap(d.card, d.other_card);
  d.slot = slot;
}

void mcd_receive(SerialReaderDevice& d, std::vector<uint8_t>& out) {
  std::vector<uint8_t>& in = d.input;
  const bool console = d.kind == ReaderKind::ps1cardlink;
  while (!in.empty() && !d.gone) {
    size_t used = 1;
    switch (in[0]) {
      case kMcdGetId:
        if (console) put(out, reinterpret_cast<const uint8_t*>(kPs1CardLinkId), kPs1CardLinkIdLength);
        else put(out, reinterpret_cast<const uint8_t*>(kMcdId), kMcdIdLength);
        break;
      case kMcdGetVersion: out.push_back(console ? kCardLinkVersion : kMcdFirmwareVersion); break;
      case kCardLinkSelectSlot:
        if (!console) {
          ++d.counts.bad;
          out.push_back(kMcdUnknownCommand);
          break;
        }
        if (in.size() < kCardLinkSelectLength) return;
        select_slot(d, in[1]);
        used = kCardLinkSelectLength;
        break;
      case kMcdRead:
        if (in.size() < kMcdReadLength) return;
        mcd_read(d, (in[1] << 8) | in[2], out);
        used = kMcdReadLength;
        break;
      case kMcdWrite:
        if (in.size() < kMcdWriteLength) return;
        mcd_write(d, in.data(), out);
        used = kMcdWriteLength;
        break;
      default:
        ++d.counts.bad;
        out.push_back(kMcdUnknownCommand);
    }
    in.erase(in.begin(), in.begin() + long(used));
  }
}

// DexDrive.

void dex_reply(SerialReaderDevice& d, uint8_t code, const uint8_t* arguments, size_t count,
               std::vector<uint8_t>& out) {
  put(out, kDexPrefix, kDexPrefixLength);
  out.push_back(code);
  put(out, arguments, count);
  d.last_reply = code;
}

void dex_reply(SerialReaderDevice& d, uint8_t code, std::vector<uint8_t>& out) {
  dex_reply(d, code, nullptr, 0, out);
}

// Arguments each command takes; -1 for a byte that names none.
int dex_argument_count(uint8_t command) {
  switch (command) {
    case kDexInit: return int(kDexInitLength);
    case kDexStatus:
    case kDexMagicHandshake: return 0;
    case kDexRead: return 2;
    case kDexWrite: return int(kDexWriteLength - kDexHeaderLength);
    case 0x05: return 2;  // PAGE
    case 0x07: return 1;  // LIGHT
    default: return -1;
  }
}

// A frame command arriving at a drive that may lose its power now; false
// when it was answered (POUT) or the drive is gone.
bool dex_frame_command_arrives(SerialReaderDevice& d, std::vector<uint8_t>& out) {
  const bool power_lost = d.frame_commands == d.faults.power_lost_at;
  if (!frame_command_arrives(d)) return false;
  if (power_lost) d.initialised = false;
  if (d.initialised) return true;
  dex_reply(d, kDexPout, out);
  return false;
}

void dex_read(SerialReaderDevice& d, const uint8_t* arguments, std::vector<uint8_t>& out) {
  if (!dex_frame_command_arrives(d, out)) return;
  ++d.counts.reads;
  const int frame_number = arguments[0] | (arguments[1] << 8);
  if (d.card_out) return dex_reply(d, kDexNoCard, out);
  if (frame_number >= kFrameCount) return dex_reply(d, kDexData, out);  // empty, as the drive does
  uint8_t data[kDexDataLength];
  std::memcpy(data, frame(d.card, stored_frame(d, frame_number)), kFrameSize);
  data[kDexDataChecksumAt] = frame_transfer_check(frame_number, data);
  switch (fault_on(d, frame_number)) {
    case SerialFrameFault::refused: return dex_reply(d, kDexError, out);
    case SerialFrameFault::bad_checksum: data[frame_number % kFrameSize] ^= 0x10; break;
    case SerialFrameFault::short_data:
      d.card_out = true;
      return dex_reply(d, kDexData, data, kFrameSize / 2, out);
    default: break;
  }
  dex_reply(d, kDexData, data, sizeof data, out);
}

void dex_write(SerialReaderDevice& d, const uint8_t* arguments, std::vector<uint8_t>& out) {
  if (!dex_frame_command_arrives(d, out)) return;
  ++d.counts.writes;
  const uint8_t msb = arguments[0], lsb = arguments[1];
  const uint8_t* data = arguments + (kDexWriteDataAt - kDexHeaderLength);
  uint8_t check = 0;
  for (size_t i = 0; i < kDexWriteChecksumAt - kDexHeaderLength; ++i) check ^= arguments[i];
  const int frame_number = (msb << 8) | lsb;
  if (arguments[2] != reversed_bits(msb) || arguments[3] != reversed_bits(lsb) ||
      check != arguments[kDexWriteChecksumAt - kDexHeaderLength] || frame_number >= kFrameCount)
    return dex_reply(d, kDexError, out);
  if (d.card_out) return dex_reply(d, kDexNoCard, out);
  const SerialFrameFault fault = fault_on(d, frame_number);
  if (fault == SerialFrameFault::refused) return dex_reply(d, kDexError, out);
  const bool same = std::memcmp(frame(d.card, stored_frame(d, frame_number)), data, kFrameSize) == 0;
  store(d, frame_number, data, fault == SerialFrameFault::flipped_bit);
  dex_reply(d, same && fault != SerialFrameFault::flipped_bit ? kDexWriteSame : kDexWriteOk, out);
}

void dex_command(SerialReaderDevice& d, uint8_t command, const uint8_t* arguments,
                 std::vector<uint8_t>& out) {
  if (command == kDexInit) {
    // ID: a byte made from INIT's, the model, the firmware.
    uint8_t id[kDexIdLength] = {0};
    for (size_t i = 0; i < kDexInitLength; ++i) id[0] ^= arguments[i];
    std::memcpy(id + kDexIdModelAt, d.faults.n64 ? kDexN64Model : kDexPs1Model, kDexModelLength);
    id[kDexIdVersionAt] = kDexFirmwareVersion;
    d.initialised = false;
    d.handshake_next = true;
    return dex_reply(d, kDexId, id, sizeof id, out);
  }
  const bool handshake = d.handshake_next && command == kDexMagicHandshake;
  d.handshake_next = false;
  if (handshake) {
    d.initialised = true;
    return dex_reply(d, kDexError, out);  // its expected answer
  }
  if (command == kDexRead) return dex_read(d, arguments, out);
  if (command == kDexWrite) return dex_write(d, arguments, out);
  if (!d.initialised) return dex_reply(d, kDexPout, out);
  if (command == kDexStatus) {
    if (d.card_out) return dex_reply(d, kDexNoCard, out);
    const uint8_t written_since = d.written.empty() ? 0x10 : 0x00;
    return dex_reply(d, kDexCard, &written_since, 1, out);
  }
  if (command == 0x07) return dex_reply(d, d.last_reply, out);  // LIGHT
  dex_reply(d, kDexError, out);
}

void dex_receive(SerialReaderDevice& d, std::vector<uint8_t>& out) {
  std::vector<uint8_t>& in = d.input;
  while (!in.empty() && !d.gone) {
    // Bytes that do not start "IAI" are no command: the drive passes over them.
    size_t start = 0;
    while (start < in.size() &&
           std::memcmp(in.data() + start, kDexPrefix, std::min(kDexPrefixLength, in.size() - start)) != 0)
      ++start;
    if (start > 0) {
      ++d.counts.bad;
      in.erase(in.begin(), in.begin() + long(start));
    }
    if (in.size() < kDexHeaderLength) return;
    const uint8_t command = in[kDexPrefixLength];
    const int count = dex_argument_count(command);
    if (count < 0) {
      ++d.counts.bad;
      dex_reply(d, kDexError, out);
      in.erase(in.begin(), in.begin() + long(kDexHeaderLength));
      continue;
    }
    if (in.size() < kDexHeaderLength + size_t(count)) return;
    dex_command(d, command, in.data() + kDexHeaderLength, out);
    in.erase(in.begin(), in.begin() + long(kDexHeaderLength) + count);
  }
}

// Fault names.

bool parse_number(const std::string& text, int& value) {
  if (text.empty() || text.find_first_not_of("0123456789xXabcdefABCDEF") != std::string::npos) return false;
  char* end = nullptr;
  const long number = std::strtol(text.c_str(), &end, 0);
  if (*end != 0 || number < 0 || number > (1 << 30)) return false;
  value = int(number);
  return true;
}

bool parse_fault(std::string token, SerialReaderFaults& faults) {
  int times = -1, at = -1;
  const size_t star = token.find('*');
  if (star != std::string::npos) {
    if (!parse_number(token.substr(star + 1), times)) return false;
    token.resize(star);
  }
  const size_t at_sign = token.find('@');
  if (at_sign != std::string::npos) {
    if (!parse_number(token.substr(at_sign + 1), at)) return false;
    token.resize(at_sign);
  }
  const bool plain = at < 0 && times < 0;
  bool* flag = token == "slow-boot"    ? &faults.slow_boot
               : token == "only-38400" ? &faults.only_38400
               : token == "silent"     ? &faults.silent
               : token == "n64"        ? &faults.n64
               : token == "half-size"  ? &faults.half_size
                                       : nullptr;
  if (flag) return (*flag = true, plain);
  int* counted = token == "no-card"      ? &faults.no_card_from
                 : token == "gone"       ? &faults.gone_at
                 : token == "power-loss" ? &faults.power_lost_at
                                         : nullptr;
  if (counted) {
    if (times >= 0 || (at < 0 && token != "no-card")) return false;
    *counted = at < 0 ? 0 : at;
    return true;
  }
  const SerialFrameFault fault = token == "refused"        ? SerialFrameFault::refused
                                 : token == "bad-checksum" ? SerialFrameFault::bad_checksum
                                 : token == "flipped-bit"  ? SerialFrameFault::flipped_bit
                                 : token == "short-data"   ? SerialFrameFault::short_data
                                                           : SerialFrameFault::none;
  if (fault == SerialFrameFault::none || at < 0 || at >= kFrameCount) return false;
  faults.frame_fault = fault;
  faults.fault_frame = at;
  faults.fault_times = times;
  return true;
}

}  // namespace

void reset_serial_device(SerialReaderDevice& device, ReaderKind kind, const CardImage& card,
                         const SerialReaderFaults& faults, const CardImage* second_card) {
  device = SerialReaderDevice{};
  device.kind = kind;
  device.card = card;
  if (second_card) device.other_card = *second_card;
  device.faults = faults;
  if (faults.half_size)
    for (CardImage* mirrored : {&device.card, &device.other_card})
      std::memcpy(frame(*mirrored, kHalfCardFrames), frame(*mirrored, 0), kHalfCardFrames * kFrameSize);
}

const CardImage& card_in_slot(const SerialReaderDevice& device, int slot) {
  return slot - 1 == device.slot ? device.card : device.other_card;
}

void serial_device_opened(SerialReaderDevice& device, double now_ms, std::vector<uint8_t>& out) {
  ++device.counts.opens;
  device.input.clear();
  // The console runs on whatever the port does; a board resets.
  if (device.kind != ReaderKind::memcarduino || !device.faults.slow_boot || device.faults.silent) return;
  device.boot_end_ms = now_ms + kBootMs;
  device.boot_junk_due = true;
  put(out, kBootJunk, sizeof kBootJunk);
}

void serial_device_tick(SerialReaderDevice& device, double now_ms, std::vector<uint8_t>& out) {
  if (!device.boot_junk_due || now_ms < device.boot_end_ms) return;
  device.boot_junk_due = false;
  put(out, kBootEndJunk, sizeof kBootEndJunk);
}

void serial_device_receive(SerialReaderDevice& device, const uint8_t* bytes, size_t count, int speed,
                           double now_ms, std::vector<uint8_t>& out) {
  serial_device_tick(device, now_ms, out);
  if (device.faults.silent || device.gone || now_ms < device.boot_end_ms) return;
  const int own_speed = device.kind == ReaderKind::dexdrive      ? kDexDriveSpeed
                        : device.kind == ReaderKind::ps1cardlink ? kPs1CardLinkSpeed
                        : device.faults.only_38400               ? kMemcarduinoOldSpeed
                                                                 : kMemcarduinoSpeed;
  // At another speed its UART sees noise, which no command starts with.
  if (speed != own_speed) {
    ++device.counts.bad;
    return;
  }
  put(device.input, bytes, count);
  if (device.kind == ReaderKind::dexdrive) dex_receive(device, out);
  else mcd_receive(device, out);
}

bool parse_serial_faults(const std::string& text, SerialReaderFaults& faults) {
  size_t start = 0;
  while (start <= text.size()) {
    size_t comma = text.find(',', start);
    if (comma == std::string::npos) comma = text.size();
    std::string token = text.substr(start, comma - start);
    token.erase(0, token.find_first_not_of(" \t"));
    token.erase(token.find_last_not_of(" \t") + 1);
    if (!token.empty() && !parse_fault(token, faults)) return false;
    start = comma + 1;
  }
  return true;
}
