#include "adaptor/emulator/usb_emulator.h"

#include <libusb.h>

#include <algorithm>
#include <cstring>

#include "adaptor/emulator/emulated_device.h"
#include "adaptor/protocol.h"

// The one emulated adaptor, as libusb's opaque types.
struct libusb_device {
  int unused;
};
struct libusb_device_handle {
  int unused;
};

namespace {

libusb_device adaptor_device;
libusb_device_handle adaptor_handle;
libusb_device* device_list[2] = {&adaptor_device, nullptr};

int receive(unsigned char* data, int length, int* transferred, unsigned timeout) {
  if (timeout == kDrainTimeoutMs) emulated_count_drain();
  std::optional<std::vector<uint8_t>> reply = emulated_take_reply();
  if (!reply) {
    emulated_receive_timed_out(timeout);
    return LIBUSB_ERROR_TIMEOUT;
  }
  const int length_waiting = int(reply->size());
  *transferred = std::min(length_waiting, length);
  if (*transferred > 0) std::memcpy(data, reply->data(), size_t(*transferred));
  return length_waiting > length ? LIBUSB_ERROR_OVERFLOW : LIBUSB_SUCCESS;
}

}  // namespace

int LIBUSB_CALL libusb_init(libusb_context** context) {
  if (!emulated_power_on()) return LIBUSB_ERROR_OTHER;
  if (context) *context = nullptr;
  return LIBUSB_SUCCESS;
}

ssize_t LIBUSB_CALL libusb_get_device_list(libusb_context*, libusb_device*** list) {
  const bool listed = emulated_device_listed();
  *list = device_list + (listed ? 0 : 1);
  return listed ? 1 : 0;
}

void LIBUSB_CALL libusb_free_device_list(libusb_device**, int) {}

int LIBUSB_CALL libusb_get_device_descriptor(libusb_device* device,
                                             struct libusb_device_descriptor* descriptor) {
  if (device != &adaptor_device) return LIBUSB_ERROR_NOT_FOUND;
  *descriptor = libusb_device_descriptor{};
  descriptor->bLength = LIBUSB_DT_DEVICE_SIZE;
  descriptor->bDescriptorType = LIBUSB_DT_DEVICE;
  descriptor->idVendor = kAdaptorVendor;
  descriptor->idProduct = kAdaptorProduct;
  descriptor->bNumConfigurations = 1;
  return LIBUSB_SUCCESS;
}

int LIBUSB_CALL libusb_open(libusb_device* device, libusb_device_handle** handle) {
  if (device != &adaptor_device) return LIBUSB_ERROR_NOT_FOUND;
  const int result = emulated_open();
  if (result == LIBUSB_SUCCESS) *handle = &adaptor_handle;
  return result;
}

int LIBUSB_CALL libusb_claim_interface(libusb_device_handle* handle, int interface_number) {
  if (handle != &adaptor_handle) return LIBUSB_ERROR_NOT_FOUND;
  return emulated_claim(interface_number);
}

void LIBUSB_CALL libusb_close(libusb_device_handle* handle) {
  if (handle == &adaptor_handle) emulated_close();
}

int LIBUSB_CALL libusb_bulk_transfer(libusb_device_handle* handle, unsigned char endpoint,
                                     unsigned char* data, int length, int* transferred,
                                     unsigned int timeout) {
  *transferred = 0;
  const bool ours = handle == &adaptor_handle && emulated_opened() && data && length >= 0;
  if (ours && emulated_unplugged()) return LIBUSB_ERROR_NO_DEVICE;
  const bool usable = ours && emulated_ready();
  if (usable && endpoint == kEndpointOut && timeout == kTransferTimeoutMs) {
    const int result = emulated_send(data, length);
    if (result == LIBUSB_SUCCESS) *transferred = length;
    return result;
  }
  if (usable && endpoint == kEndpointIn && (timeout == kTransferTimeoutMs || timeout == kDrainTimeoutMs))
    return receive(data, length, transferred, timeout);
  emulated_count_misuse();
  return LIBUSB_ERROR_INVALID_PARAM;
}
