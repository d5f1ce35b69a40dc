// quillcrest-usb-emulator: the emulated PS3 adaptor (emulated_device.h) as a
// program, for the web page's tests: the browser's WebUSB calls, made by a
// stand-in for navigator.usb, reach it through the test over its standard
// input and output, so that the page's own WebUSB code meets the adaptor's
// real bytes. Set up from the environment as quillcrest-emulated.exe is
// (QUILLCREST_EMULATED_CARD, _STATE, _FAULT, _DELAY_MS: its README).
//
// Each request is one byte naming it, then a 32-bit little-endian length and
// that many bytes; each answer the same (the byte repeating the request's):
//   L  list      answer: 1 byte, 1 when the adaptor shows in a device list
//   O  open      answer: libusb's code (int32)
//   C  claim     payload: the interface (int32); answer: the code
//   S  send      payload: the command; answer: the code
//   R  receive   payload: the timeout in ms (int32); answer: the code, then the reply
//   X  close     answer: none
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "adaptor/emulator/emulated_device.h"

namespace {

bool read_exactly(uint8_t* bytes, size_t count) { return std::fread(bytes, 1, count, stdin) == count; }

void answer(uint8_t request, const std::vector<uint8_t>& payload) {
  const uint32_t length = uint32_t(payload.size());
  const uint8_t header[5] = {request, uint8_t(length), uint8_t(length >> 8), uint8_t(length >> 16),
                             uint8_t(length >> 24)};
  std::fwrite(header, 1, sizeof header, stdout);
  if (!payload.empty()) std::fwrite(payload.data(), 1, payload.size(), stdout);
  std::fflush(stdout);
}

std::vector<uint8_t> code(int32_t value, const std::vector<uint8_t>& after = {}) {
  std::vector<uint8_t> bytes(4 + after.size());
  std::memcpy(bytes.data(), &value, 4);
  std::copy(after.begin(), after.end(), bytes.begin() + 4);
  return bytes;
}

int32_t int_of(const std::vector<uint8_t>& payload) {
  int32_t value = 0;
  if (payload.size() >= 4) std::memcpy(&value, payload.data(), 4);
  return value;
}

}  // namespace

int main() {
  if (!emulated_power_on()) return 3;
  constexpr int kLibusbTimeout = -7;
  for (;;) {
    uint8_t header[5];
    if (!read_exactly(header, sizeof header)) return 0;
    const uint32_t length = header[1] | header[2] << 8 | header[3] << 16 | uint32_t(header[4]) << 24;
    if (length > (1u << 20)) return 2;
    std::vector<uint8_t> payload(length);
    if (length && !read_exactly(payload.data(), length)) return 0;
    switch (header[0]) {
      case 'L': answer('L', {uint8_t(emulated_device_listed() ? 1 : 0)}); break;
      case 'O': answer('O', code(emulated_open())); break;
      case 'C': answer('C', code(emulated_claim(int_of(payload)))); break;
      case 'S': answer('S', code(emulated_send(payload.data(), int(payload.size())))); break;
      case 'R': {
        std::optional<std::vector<uint8_t>> reply = emulated_take_reply();
        if (!reply) {
          emulated_receive_timed_out(unsigned(int_of(payload)));
          answer('R', code(kLibusbTimeout));
        } else {
          answer('R', code(0, *reply));
        }
        break;
      }
      case 'X': emulated_close(); break;
      default: return 2;
    }
  }
}
