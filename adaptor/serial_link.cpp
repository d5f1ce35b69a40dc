#include "adaptor/serial_link.h"

#include "card/card_image.h"

namespace {

constexpr int kMostQuietWaits = 20;

std::string why_not(SerialError error, int baud, const std::string& detail) {
  switch (error) {
    case SerialError::no_such_port: return "there is no such serial port.";
    case SerialError::access_denied:
      return "permission denied. On Linux the serial ports belong to the group dialout: add "
             "yourself to it (sudo adduser $USER dialout), then log out and in again.";
    case SerialError::busy: return "another program is using the port.";
    case SerialError::not_serial: return "it is not a serial port.";
    case SerialError::speed_unsupported:
      return "the port does not take " + std::to_string(baud) + " bit/s.";
    case SerialError::other:
    case SerialError::none: break;
  }
  return "the port cannot be opened (" + detail + ").";
}

}  // namespace

Failure open_reader_port(const ReaderChoice& choice, int baud, SerialPort*& port) {
  SerialError error;
  std::string detail;
  port = open_serial_port(choice.port, baud, error, detail);
  if (port) return std::nullopt;
  return fail(reader_name(choice) + ": " + why_not(error, baud, detail));
}

bool wait_for_quiet(SerialPort* port, int quiet_ms) {
  uint8_t junk[256];
  for (int n = 0; n < kMostQuietWaits; ++n) {
    const int got = read_serial(port, junk, sizeof junk, quiet_ms);
    if (got < 0) return false;
    if (got == 0) return true;
  }
  return true;
}

Failure transfer_serial_frames(SerialPort* port, FrameExchange exchange, void (*lose)(), Transfer direction,
                               uint8_t* buffer, int first_frame, int frame_count, const Progress& progress,
                               int* transferred) {
  if (transferred) *transferred = 0;
  for (int n = 0; n < frame_count; ++n) {
    const int frame_number = first_frame + n;
    if (progress) progress(frame_number);
    const FrameOutcome outcome =
        port ? exchange(direction, frame_number, buffer + n * kFrameSize) : FrameOutcome::lost;
    if (outcome == FrameOutcome::lost) lose();
    if (outcome == FrameOutcome::no_card) return fail("No PS1 Memory Card Detected.");
    if (outcome != FrameOutcome::done) return fail(direction == Transfer::read ? "Read Error." : "Write Error");
    if (transferred) *transferred = n + 1;
  }
  if (progress) progress(kProgressEnd);
  return std::nullopt;
}
