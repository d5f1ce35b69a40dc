#include "adaptor/adaptor_link.h"

#include <libusb.h>

#include <cstring>

#include "adaptor/protocol.h"
#include "card/card_image.h"

namespace {

// The connection: one for the whole process, never closed (the operating
// system releases the device when the process ends). The command buffers
// hold their constant bytes from the start and get the frame patched in.
struct AdaptorLink {
  libusb_device_handle* device = nullptr;
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

// Sends a command and returns how many bytes came back into link.reply. The
// outcome of the send is not looked at: a command that did not go out shows
// as a missing or wrong reply.
int exchange(uint8_t* command, int length) {
  int sent = 0;
  int received = 0;
  libusb_bulk_transfer(link.device, kEndpointOut, command, length, &sent, kTransferTimeoutMs);
  if (libusb_bulk_transfer(link.device, kEndpointIn, link.reply, kReplyBufferSize, &received,
                           kTransferTimeoutMs) != 0)
    received = 0;
  return received;
}

bool card_present() {
  return exchange(link.detect_command, kDetectLength) == kDetectReplyLength &&
         link.reply[0] == kReplyStart && link.reply[1] == kCardPresent;
}

bool good_frame_reply(int received, int expected) {
  return received == expected && link.reply[0] == kReplyStart && link.reply[1] == kFrameReplyMark;
}

void set_frame_number(uint8_t* command, int frame_number) {
  command[kFrameMsbAt] = uint8_t(frame_number >> 8);
  command[kFrameLsbAt] = uint8_t(frame_number);
}

bool read_frame(int frame_number, uint8_t* data) {
  set_frame_number(link.read_command, frame_number);
  if (!good_frame_reply(exchange(link.read_command, kReadLength), kReadReplyLength)) return false;
  std::memcpy(data, link.reply + kReadDataAt, kFrameSize);
  return true;
}

bool write_frame(int frame_number, const uint8_t* data) {
  set_frame_number(link.write_command, frame_number);
  std::memcpy(link.write_command + kWriteDataAt, data, kFrameSize);
  uint8_t check = link.write_command[kFrameMsbAt] ^ link.write_command[kFrameLsbAt];
  for (size_t i = 0; i < kFrameSize; ++i) check ^= data[i];
  link.write_command[kWriteChecksumAt] = check;
  for (int attempt = 0; attempt < kWriteAttempts; ++attempt)
    if (good_frame_reply(exchange(link.write_command, kWriteLength), kWriteReplyLength)) return true;
  return false;
}

}  // namespace

Failure open_adaptor() {
  link.device = nullptr;
  if (libusb_init(nullptr) != 0) return fail("Error initialising libusb.");
  link.device = libusb_open_device_with_vid_pid(nullptr, kAdaptorVendor, kAdaptorProduct);
  if (!link.device) return fail("PS3 Memory Card Adaptator USB Device not found.");
  if (libusb_claim_interface(link.device, kAdaptorInterface) != 0)
    return fail("Cannot claim USB interface.");
  return std::nullopt;
}

Failure transfer_frames(Transfer direction, uint8_t* buffer, int first_frame, int frame_count,
                        const Progress& progress) {
  // Without a device nothing can answer the detect; say so rather than hand
  // libusb a null handle.
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
  }
  if (progress) progress(kProgressEnd);
  return std::nullopt;
}
