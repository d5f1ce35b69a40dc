// The emulated adaptor itself, below the USB library: the card, its
// faults, the replies waiting on the reply endpoint. The libusb stand-in
// (usb_emulator.cpp) passes its calls here, and so can a stand-in lower down
// (the usbfs handler of the tests). Results are libusb's error codes. The
// setup and the counts are those of usb_emulator.h.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

// libusb_init: sets the emulator up from the environment the first time;
// false when it is to fail ("init-fails").
bool emulated_power_on();
// Whether the adaptor shows in a device list made now. One that was
// unplugged comes back after as many lists as the setup says.
bool emulated_device_listed();
int emulated_open();
int emulated_claim(int interface_number);
void emulated_close();
bool emulated_opened();
bool emulated_ready();  // opened and interface 0 claimed
bool emulated_unplugged();

// A command sent to the adaptor: answered at once, the reply left waiting.
int emulated_send(const uint8_t* command, int length);
// The reply waiting first, or nothing: the receive then times out, and
// emulated_receive_timed_out must be told.
std::optional<std::vector<uint8_t>> emulated_take_reply();
// Waits the timeout out when real timeouts were asked for; a late reply
// arrives now.
void emulated_receive_timed_out(unsigned timeout_ms);

void emulated_count_drain();
void emulated_count_misuse();
