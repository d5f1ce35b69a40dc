// The emulated adaptor below the real libusb. umockdev puts a USB device with
// the adaptor's descriptors into a mock sysfs and hands the usbfs ioctls on
// its device node to a handler here, which passes the bulk transfers to the
// emulated adaptor (adaptor/emulator/emulated_device.h). Programs the test
// starts inherit the mock (the LD_PRELOAD of umockdev-wrapper and
// UMOCKDEV_DIR), so a real quillcrest-cli and its libusb find the adaptor as
// they would find the hardware.
#pragma once

#include "card/card_image.h"

struct UsbfsMock;

class UsbfsAdaptor {
 public:
  // The emulated adaptor holds `card` (reset_emulator).
  explicit UsbfsAdaptor(const CardImage& card);
  ~UsbfsAdaptor();
  UsbfsAdaptor(const UsbfsAdaptor&) = delete;
  UsbfsAdaptor& operator=(const UsbfsAdaptor&) = delete;

  // False, with the reason, when the mock could not be set up.
  bool ready(std::string& why) const;

 private:
  UsbfsMock* mock_;
};

// True when the test runs under umockdev-wrapper.
bool in_umockdev_wrapper();
