// The libusb calls the adaptor link makes, answered by the browser's WebUSB
// (navigator.usb), for the web page: the PS3 adaptor the user chose in the
// browser's picker (WebUSB lists only the devices a page was given), opened,
// its interface claimed, its bulk endpoints used. Each WebUSB call answers
// with a promise: the calls wait for them through Asyncify.
//
// A reply WebUSB delivers after its receive timed out is kept, and answers
// the next receive: the adaptor itself keeps a reply nobody took, and the
// link's draining counts on it.
#include <emscripten.h>
#include <libusb.h>

#include "adaptor/protocol.h"

struct libusb_device {
  int index;  // into the page's list of granted devices
};
struct libusb_device_handle {
  int index;
};

namespace {

constexpr int kMostDevices = 8;
libusb_device devices[kMostDevices];
libusb_device* device_list[kMostDevices + 1];
libusb_device_handle handles[kMostDevices];

EM_JS(int, web_usb_available, (), { return typeof navigator != "undefined" && !!navigator.usb ? 1 : 0; });

// The devices the page was given, as Module.usbDevices; their count.
EM_ASYNC_JS(int, web_usb_list, (int most), {
  try {
    const granted = await navigator.usb.getDevices();
    Module.usbDevices = granted.slice(0, most);
  } catch (e) {
    Module.usbDevices = [];
  }
  return Module.usbDevices.length;
});

EM_JS(int, web_usb_ids, (int index), {
  const device = (Module.usbDevices || [])[index];
  return device ? (device.vendorId << 16) | device.productId : -1;
});

// libusb's codes: 0 done, -3 access (another program has it), -4 gone, -99 other.
EM_ASYNC_JS(int, web_usb_open, (int index), {
  const device = (Module.usbDevices || [])[index];
  if (!device) return -4;
  try {
    if (!device.opened) await device.open();
    if (device.configuration === null) await device.selectConfiguration(1);
    return 0;
  } catch (e) {
    return e && e.name == "SecurityError" ? -3 : -99;
  }
});

EM_ASYNC_JS(int, web_usb_claim, (int index, int interface_number), {
  const device = (Module.usbDevices || [])[index];
  if (!device) return -4;
  try {
    await device.claimInterface(interface_number);
    return 0;
  } catch (e) {
    return e && e.name == "NotFoundError" ? -4 : -6;  // LIBUSB_ERROR_BUSY
  }
});

EM_ASYNC_JS(void, web_usb_close, (int index), {
  const device = (Module.usbDevices || [])[index];
  if (device) {
    try {
      await device.close();
    } catch (e) {
    }
  }
});

// A bulk transfer: libusb's code, the bytes moved in `transferred`.
EM_ASYNC_JS(int, web_usb_bulk, (int index, int endpoint, uint8_t* data, int length, int* transferred,
                                int timeout_ms), {
  const device = (Module.usbDevices || [])[index];
  HEAP32[transferred >> 2] = 0;
  if (!device || !device.opened) return -4;
  const number = endpoint & 0x7F;
  const timeout = new Promise(resolve => setTimeout(() => resolve("timeout"), timeout_ms));
  const outcome = result => result.status == "ok" ? 0 : result.status == "stall" ? -9 : -1;
  const gone = e => e && e.name == "NotFoundError" ? -4 : -1;
  if ((endpoint & 0x80) == 0) {
    try {
      const result = await Promise.race([device.transferOut(number, HEAPU8.slice(data, data + length)), timeout]);
      if (result == "timeout") return -7;
      HEAP32[transferred >> 2] = result.bytesWritten;
      return outcome(result);
    } catch (e) {
      return gone(e);
    }
  }
  // One receive waits on the device at a time; one that timed out is still
  // waiting, and its reply is this receive's.
  const waiting = device.waitingReceive || device.transferIn(number, length);
  device.waitingReceive = waiting;
  try {
    const result = await Promise.race([waiting, timeout]);
    if (result == "timeout") return -7;
    device.waitingReceive = null;
    const bytes = new Uint8Array(result.data.buffer, result.data.byteOffset, result.data.byteLength);
    const moved = Math.min(bytes.length, length);
    HEAPU8.set(bytes.subarray(0, moved), data);
    HEAP32[transferred >> 2] = moved;
    return bytes.length > length ? -8 : outcome(result);
  } catch (e) {
    device.waitingReceive = null;
    return gone(e);
  }
});

}  // namespace

int LIBUSB_CALL libusb_init(libusb_context** context) {
  if (context) *context = nullptr;
  return web_usb_available() ? LIBUSB_SUCCESS : LIBUSB_ERROR_NOT_SUPPORTED;
}

ssize_t LIBUSB_CALL libusb_get_device_list(libusb_context*, libusb_device*** list) {
  const int count = web_usb_list(kMostDevices);
  for (int i = 0; i < count; ++i) {
    devices[i].index = i;
    device_list[i] = &devices[i];
  }
  device_list[count] = nullptr;
  *list = device_list;
  return count;
}

void LIBUSB_CALL libusb_free_device_list(libusb_device**, int) {}

int LIBUSB_CALL libusb_get_device_descriptor(libusb_device* device, struct libusb_device_descriptor* descriptor) {
  const int ids = device ? web_usb_ids(device->index) : -1;
  if (ids < 0) return LIBUSB_ERROR_NOT_FOUND;
  *descriptor = libusb_device_descriptor{};
  descriptor->bLength = LIBUSB_DT_DEVICE_SIZE;
  descriptor->bDescriptorType = LIBUSB_DT_DEVICE;
  descriptor->idVendor = uint16_t(ids >> 16);
  descriptor->idProduct = uint16_t(ids);
  descriptor->bNumConfigurations = 1;
  return LIBUSB_SUCCESS;
}

int LIBUSB_CALL libusb_open(libusb_device* device, libusb_device_handle** handle) {
  const int result = web_usb_open(device->index);
  if (result == LIBUSB_SUCCESS) {
    handles[device->index].index = device->index;
    *handle = &handles[device->index];
  }
  return result;
}

int LIBUSB_CALL libusb_claim_interface(libusb_device_handle* handle, int interface_number) {
  return web_usb_claim(handle->index, interface_number);
}

void LIBUSB_CALL libusb_close(libusb_device_handle* handle) {
  if (handle) web_usb_close(handle->index);
}

int LIBUSB_CALL libusb_bulk_transfer(libusb_device_handle* handle, unsigned char endpoint, unsigned char* data,
                                     int length, int* transferred, unsigned int timeout) {
  *transferred = 0;
  if (!handle || !data || length < 0) return LIBUSB_ERROR_INVALID_PARAM;
  return web_usb_bulk(handle->index, endpoint, data, length, transferred, int(timeout));
}
