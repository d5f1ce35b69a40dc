#include "tests/usbfs/usbfs_adaptor.h"

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <umockdev.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "adaptor/emulator/emulated_device.h"
#include "adaptor/emulator/usb_emulator.h"
#include "adaptor/protocol.h"

namespace {

constexpr char kDeviceNode[] = "/dev/bus/usb/001/002";

// sysfs as the kernel shows the adaptor; libusb reads the ids and the
// endpoints from "descriptors" (device, then configuration descriptor).
std::string device_description() {
  const unsigned char descriptors[] = {
      18, 0x01, 0x00, 0x02, 0, 0, 0, 64, 0x4C, 0x05, 0xEA, 0x02, 0x00, 0x01, 0, 0, 0, 1,
      9, 0x02, 32, 0, 1, 1, 0, 0x80, 50,         // one configuration
      9, 0x04, 0, 0, 2, 0xFF, 0, 0, 0,           // interface 0, two endpoints
      7, 0x05, kEndpointOut, 0x02, 64, 0, 0,     // bulk out
      7, 0x05, kEndpointIn, 0x02, 64, 0, 0};     // bulk in
  std::string hex;
  char byte[3];
  for (unsigned char b : descriptors) {
    std::snprintf(byte, sizeof byte, "%02x", b);
    hex += byte;
  }
  // "A:" values are C-unescaped: "\\n" ends them with a newline, as sysfs does.
  return "P: /devices/pci0000:00/0000:00:14.0/usb1/1-1\n"
         "N: bus/usb/001/002\n"
         "E: SUBSYSTEM=usb\n"
         "E: DEVTYPE=usb_device\n"
         "E: DEVNAME=/dev/bus/usb/001/002\n"
         "A: busnum=1\\n\n"
         "A: devnum=2\\n\n"
         "A: idVendor=054c\\n\n"
         "A: idProduct=02ea\\n\n"
         "A: bConfigurationValue=1\\n\n"
         "A: speed=12\\n\n"
         "A: dev=189:1\\n\n"
         "H: descriptors=" + hex + "\n";
}

// A URB of the program's, mirrored into this process; released once reaped.
struct Urb {
  UMockdevIoctlData* urb = nullptr;
  UMockdevIoctlData* buffer = nullptr;  // none for an empty transfer
  usbdevfs_urb* fields() const { return reinterpret_cast<usbdevfs_urb*>(urb->data); }
};

}  // namespace

// The handler runs on umockdev's own thread, one ioctl at a time; the test's
// thread looks at the emulated adaptor only while no program runs.
struct UsbfsMock {
  UMockdevTestbed* testbed = nullptr;
  UMockdevIoctlBase* handler = nullptr;
  std::string failure;
  std::deque<Urb> receiving;  // reply URBs waiting for a reply
  std::deque<Urb> done;       // URBs for the program to reap

  void finish(const Urb& urb, int status, int length) {
    urb.fields()->status = status;
    urb.fields()->actual_length = length;
    done.push_back(urb);
  }

  // Replies waiting in the adaptor go to the receives waiting for them.
  void deliver() {
    while (!receiving.empty()) {
      std::optional<std::vector<uint8_t>> reply = emulated_take_reply();
      if (!reply) return;
      const Urb urb = receiving.front();
      receiving.pop_front();
      const int room = urb.fields()->buffer_length;
      const int length = std::min(int(reply->size()), room);
      if (length > 0) std::memcpy(urb.buffer->data, reply->data(), size_t(length));
      finish(urb, int(reply->size()) > room ? -EOVERFLOW : 0, length);
    }
  }

  // Returns the ioctl's result and errno.
  std::pair<long, int> submit(UMockdevIoctlData* data) {
    const usbdevfs_urb* fields = reinterpret_cast<usbdevfs_urb*>(data->data);
    if (fields->type != USBDEVFS_URB_TYPE_BULK ||
        (fields->endpoint != kEndpointOut && fields->endpoint != kEndpointIn))
      return {-1, EINVAL};
    Urb urb{data, nullptr};
    if (fields->buffer_length > 0) {
      GError* error = nullptr;
      urb.buffer = umockdev_ioctl_data_resolve(data, offsetof(usbdevfs_urb, buffer),
                                               size_t(fields->buffer_length), &error);
      if (!urb.buffer) {
        g_clear_error(&error);
        return {-1, EFAULT};
      }
    }
    if (fields->endpoint == kEndpointIn) {
      receiving.push_back(urb);
    } else {
      const uint8_t* command = urb.buffer ? urb.buffer->data : nullptr;
      const int result = emulated_send(command, fields->buffer_length);
      finish(urb, result == 0 ? 0 : -ENODEV, result == 0 ? fields->buffer_length : 0);
    }
    deliver();
    return {0, 0};
  }

  // libusb gives up on a receive after its timeout by discarding the URB;
  // a late reply arrives then.
  std::pair<long, int> discard(unsigned long address) {
    for (auto it = receiving.begin(); it != receiving.end(); ++it) {
      if (it->urb->client_addr != address) continue;
      finish(*it, -ENOENT, 0);
      receiving.erase(it);
      emulated_receive_timed_out(0);
      return {0, 0};
    }
    return {-1, EINVAL};
  }

  std::pair<long, int> reap(UMockdevIoctlData* data) {
    deliver();
    if (done.empty()) return {-1, EAGAIN};
    const Urb urb = done.front();
    done.pop_front();
    umockdev_ioctl_data_set_ptr(data, 0, urb.urb);  // the program's own URB address
    g_object_unref(urb.urb);
    if (urb.buffer) g_object_unref(urb.buffer);
    return {0, 0};
  }
};

namespace {

gboolean handle_ioctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
  UsbfsMock& mock = *static_cast<UsbfsMock*>(self);
  const gulong request = umockdev_ioctl_client_get_request(client);
  UMockdevIoctlData* argument = umockdev_ioctl_client_get_arg(client);
  UMockdevIoctlData* data = nullptr;  // the argument's memory, for requests that carry some
  if (const size_t size = _IOC_SIZE(request)) {
    GError* error = nullptr;
    data = umockdev_ioctl_data_resolve(argument, 0, size, &error);
    if (!data) {
      g_clear_error(&error);
      umockdev_ioctl_client_complete(client, -1, EFAULT);
      return TRUE;
    }
  }
  std::pair<long, int> result{0, 0};
  switch (request) {
    case USBDEVFS_GET_CAPABILITIES:
      *reinterpret_cast<uint32_t*>(data->data) =
          USBDEVFS_CAP_BULK_CONTINUATION | USBDEVFS_CAP_NO_PACKET_SIZE_LIM | USBDEVFS_CAP_ZERO_PACKET;
      break;
    case USBDEVFS_CLAIMINTERFACE:
    case USBDEVFS_RELEASEINTERFACE:
      if (*reinterpret_cast<unsigned*>(data->data) != kAdaptorInterface) result = {-1, EINVAL};
      break;
    case USBDEVFS_SUBMITURB: result = mock.submit(data); break;
    case USBDEVFS_DISCARDURB: result = mock.discard(*reinterpret_cast<unsigned long*>(argument->data)); break;
    case USBDEVFS_REAPURB:
    case USBDEVFS_REAPURBNDELAY: result = mock.reap(data); break;
    default: result = {-1, ENOTTY};
  }
  umockdev_ioctl_client_complete(client, result.first, result.second);
  // A submitted URB's memory stays ours until it is reaped.
  if (data && !(request == USBDEVFS_SUBMITURB && result.first == 0)) g_object_unref(data);
  return TRUE;
}

}  // namespace

bool in_umockdev_wrapper() {
  const char* preload = std::getenv("LD_PRELOAD");
  return preload && std::strstr(preload, "libumockdev-preload");
}

UsbfsAdaptor::UsbfsAdaptor(const CardImage& card) : mock_(new UsbfsMock) {
  reset_emulator(card);
  if (!in_umockdev_wrapper()) {
    mock_->failure = "not run under umockdev-wrapper";
    return;
  }
  mock_->testbed = umockdev_testbed_new();
  GError* error = nullptr;
  if (!umockdev_testbed_add_from_string(mock_->testbed, device_description().c_str(), &error)) {
    mock_->failure = error ? error->message : "the device was not added";
    g_clear_error(&error);
    return;
  }
  mock_->handler = umockdev_ioctl_base_new();
  g_signal_connect(mock_->handler, "handle-ioctl", G_CALLBACK(handle_ioctl), mock_);
  if (!umockdev_testbed_attach_ioctl(mock_->testbed, kDeviceNode, mock_->handler, &error)) {
    mock_->failure = error ? error->message : "no ioctl handler";
    g_clear_error(&error);
  }
}

UsbfsAdaptor::~UsbfsAdaptor() {
  for (std::deque<Urb>* urbs : {&mock_->receiving, &mock_->done})
    for (const Urb& urb : *urbs) {
      g_object_unref(urb.urb);
      if (urb.buffer) g_object_unref(urb.buffer);
    }
  if (mock_->handler) g_object_unref(mock_->handler);
  if (mock_->testbed) g_object_unref(mock_->testbed);  // removes its temporary folder
  delete mock_;
}

bool UsbfsAdaptor::ready(std::string& why) const {
  why = mock_->failure;
  return why.empty();
}
