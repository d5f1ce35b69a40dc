#include "adaptor/adaptor_link.h"

#include <libusb.h>

#include <cstring>

#include "adaptor/protocol.h"
#include "card/card_image.h"

namespace {

// The connection: one for the whole process. The handle is closed only when
// libusb reports the device gone; the next job opens it again. The command
// buffers hold their constant bytes from the start and get the frame patched in.
struct AdaptorLink {
  libusb_device_handle* device = nullptr;
  bool access_refused = false;  // by the last open_adaptor
  bool ps2_card_reported = false;  // by the last detect
  uint8_t reply[kReplyBufferSize] = {};
  uint8_t detect_command[kDetectLength] = {kCommandStart, kDetectCommand};
  uint8_t read_command[kReadLength] = {};
  uint8_t write_command[kWriteLength] = {};
};

void prepare_frame_command(uint8_t* command, int length, uint8_t card_command) {
  command[0] = kCommandStart;
  command[1] = kFrameCommand;
  command[kLengthField] = uint8_t(length - 4);
  command[kLengthField + 1] = uint8_t((length - 4) >> 8);
  command[kCardCommandAt] = kCardAddress;
  command[kCardCommandAt + 1] = card_command;
}

AdaptorLink prepared_link() {
  AdaptorLink link;
  prepare_frame_command(link.read_command, kReadLength, kCardRead);
  prepare_frame_command(link.write_command, kWriteLength, kCardWrite);
  return link;
}

AdaptorLink link = prepared_link();

void close_device() {
  if (link.device) libusb_close(link.device);
  link.device = nullptr;
}

// An unplugged adaptor never comes back on the same handle: close it, so
// that the next job looks for the adaptor again.
int noticing_unplug(int result) {
  if (result == LIBUSB_ERROR_NO_DEVICE) close_device();
  return result;
}

// One receive into link.reply; the count of bytes received, 0 on failure.
int receive(unsigned timeout_ms) {
  int received = 0;
  if (!link.device) return 0;
  if (noticing_unplug(libusb_bulk_transfer(link.device, kEndpointIn, link.reply, kReplyBufferSize,
                                           &received, timeout_ms)) != 0)
    return 0;
  return received;
}

// Sends a command and returns how many bytes came back into link.reply. The
// outcome of the send is looked at only for an unplugged adaptor: a command
// that did not go out shows as a missing or wrong reply.
int exchange(uint8_t* command, int length) {
  int sent = 0;
  if (!link.device) return 0;
  noticing_unplug(
      libusb_bulk_transfer(link.device, kEndpointOut, command, length, &sent, kTransferTimeoutMs));
  return receive(kTransferTimeoutMs);
}

void drain_stale_replies() {
  for (int n = 0; n < kMostStaleReplies && receive(kDrainTimeoutMs) > 0; ++n) {
  }
}

bool card_present() {
  const bool whole = exchange(link.detect_command, kDetectLength) == kDetectReplyLength &&
                     link.reply[0] == kReplyStart;
  link.ps2_card_reported = whole && link.reply[1] == kPs2CardInSlot;
  return whole && link.reply[1] == kCardPresent;
}

bool frame_reply_start(int received, int expected) {
  return received == expected && link.reply[0] == kReplyStart && link.reply[1] == kFrameReplyMark;
}

void set_frame_number(uint8_t* command, int frame_number) {
  command[kFrameMsbAt] = uint8_t(frame_number >> 8);
  command[kFrameLsbAt] = uint8_t(frame_number);
}

// The card confirms which frame it sends and checks its own data: a reply
// to another command, or data garbled on the way, fails here.
bool good_read_reply(int received, int frame_number) {
  const uint8_t* r = link.reply;
  return frame_reply_start(received, kReadReplyLength) &&
         r[kReadEchoMsbAt] == uint8_t(frame_number >> 8) &&
         r[kReadEchoLsbAt] == uint8_t(frame_number) &&
         r[kReadChecksumAt] == frame_transfer_check(frame_number, r + kReadDataAt) &&
         r[kReadEndAt] == kCardEndGood;
}

// Only a write the card ended with its good status is on the card: it
// refuses a bad CHK (0x4E) and reports a frame it cannot use (0xFF).
bool good_write_reply(int received) {
  return frame_reply_start(received, kWriteReplyLength) && link.reply[kWriteEndAt] == kCardEndGood;
}

bool read_frame(int frame_number, uint8_t* data) {
  set_frame_number(link.read_command, frame_number);
  if (!good_read_reply(exchange(link.read_command, kReadLength), frame_number)) return false;
  std::memcpy(data, link.reply + kReadDataAt, kFrameSize);
  return true;
}

bool write_frame(int frame_number, const uint8_t* data) {
  set_frame_number(link.write_command, frame_number);
  std::memcpy(link.write_command + kWriteDataAt, data, kFrameSize);
  link.write_command[kWriteChecksumAt] = frame_transfer_check(frame_number, data);
  for (int attempt = 0; attempt < kWriteAttempts; ++attempt) {
    // The reply to a timed-out attempt may still come: take it away before
    // trying again, or it would stand for the next command's.
    if (attempt > 0) drain_stale_replies();
    if (good_write_reply(exchange(link.write_command, kWriteLength))) return true;
  }
  return false;
}

// The first adaptor that opens, as libusb_open_device_with_vid_pid finds
// it, but remembering when one was there and the system refused it.
libusb_device_handle* open_first_adaptor() {
  libusb_device** devices = nullptr;
  const ssize_t count = libusb_get_device_list(nullptr, &devices);
  libusb_device_handle* opened = nullptr;
  for (ssize_t i = 0; i < count && !opened; ++i) {
    libusb_device_descriptor descriptor;
    if (libusb_get_device_descriptor(devices[i], &descriptor) != 0 ||
        descriptor.idVendor != kAdaptorVendor || descriptor.idProduct != kAdaptorProduct)
      continue;
    const int result = libusb_open(devices[i], &opened);
    if (result == LIBUSB_ERROR_ACCESS) link.access_refused = true;
    if (result != 0) opened = nullptr;
  }
  if (count >= 0) libusb_free_device_list(devices, 1);
  return opened;
}

}  // namespace

bool adaptor_access_refused() { return link.access_refused; }
bool adaptor_reported_ps2_card() { return link.ps2_card_reported; }

Failure open_adaptor() {
  close_device();
  link.access_refused = false;
  if (libusb_init(nullptr) != 0) return fail("Error initialising libusb.");
  link.device = open_first_adaptor();
  if (!link.device) return fail("PS3 Memory Card Adaptator USB Device not found.");
  if (libusb_claim_interface(link.device, kAdaptorInterface) != 0) {
    close_device();  // another program holds it: the next job tries again
    return fail("Cannot claim USB interface.");
  }
  return std::nullopt;
}

Failure begin_adaptor_job() {
  if (!link.device) {
    if (Failure failure = open_adaptor()) return failure;
  }
  drain_stale_replies();
  return std::nullopt;
}

Failure adaptor_transfer_frames(Transfer direction, uint8_t* buffer, int first_frame, int frame_count,
                                const Progress& progress, int* transferred) {
  if (transferred) *transferred = 0;
  // Without a device nothing can answer the detect; say so rather than hand
  // libusb a null handle.
  link.ps2_card_reported = false;
  if (!link.device || !card_present()) return fail("No PS1 Memory Card Detected.");
  for (int n = 0; n < frame_count; ++n) {
    const int frame_number = first_frame + n;
    uint8_t* data = buffer + n * kFrameSize;
    if (progress) progress(frame_number);
    if (direction == Transfer::read) {
      if (!read_frame(frame_number, data)) return fail("Read Error.");
    } else {
      if (!write_frame(frame_number, data)) return fail("Write Error");
    }
    if (transferred) *transferred = n + 1;
  }
  if (progress) progress(kProgressEnd);
  return std::nullopt;
}

namespace {

Failure open_for(const ReaderChoice&) { return open_adaptor(); }
Failure begin_job_for(const ReaderChoice&) { return begin_adaptor_job(); }
// The adaptor stays open: libusb gives it to one program at a time anyway,
// and it is looked for again whenever it was unplugged.
void keep_open() {}
std::string nothing_found() { return ""; }

}  // namespace

const ReaderBackend kPs3Backend = {open_for, begin_job_for, adaptor_transfer_frames, keep_open,
                                   nothing_found};
