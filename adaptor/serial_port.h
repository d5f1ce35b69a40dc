// A serial port as the serial card readers need it: raw 8N1 bytes at one
// speed, no flow control and no translation (every byte value passes), with
// DTR and RTS asserted, reads that wait at most a given time, and the list
// of the system's ports. One half per system: termios on POSIX
// (serial_port_posix.cpp), the Win32 communications functions on Windows
// (serial_port_windows.cpp). A program links one of them (qc_serial_system);
// the fuzzer links a scripted port in their place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct SerialPort;  // owned by the caller from open to close

enum class SerialError {
  none,
  no_such_port,      // nothing by that name (or it was unplugged)
  access_denied,     // Linux: the user may not open it (the dialout group)
  busy,              // another program holds it
  not_serial,        // it exists, but is no serial port
  speed_unsupported, // the system cannot set this speed on it
  other,
};

// Opens `name` ("/dev/ttyUSB0", "COM3", "\\.\COM10") at `baud` and asserts
// DTR and RTS, where the port has them (a pseudo-terminal has not: that is no
// failure). Null on failure, with `error` and the system's own words in
// `detail`.
SerialPort* open_serial_port(const std::string& name, int baud, SerialError& error,
                             std::string& detail);
// Changes the speed of an open port; false when the port refuses it.
bool set_serial_speed(SerialPort* port, int baud);
// Sends all bytes; false when the port failed (it was unplugged).
bool write_serial(SerialPort* port, const uint8_t* bytes, size_t count);
// Waits until `count` bytes arrived or `timeout_ms` passed; returns how many
// arrived (0..count), or -1 when the port failed (it was unplugged).
int read_serial(SerialPort* port, uint8_t* bytes, size_t count, int timeout_ms);
// Drops whatever arrived and was not read yet.
void discard_serial_input(SerialPort* port);
void close_serial_port(SerialPort* port);

// A port the system knows, with what it tells of the device behind it.
struct SerialPortInfo {
  std::string name;         // what open_serial_port takes
  int vendor = -1;          // USB vendor and product id, -1 when not a USB device
  int product = -1;
  std::string description;  // the device's own name, or the driver's
};

// The system's serial ports, sorted by name: on Linux those of
// /sys/class/tty that have a device behind them, on Windows those the
// registry's SERIALCOMM key lists, described through SetupAPI.
std::vector<SerialPortInfo> list_serial_ports();
#if defined(__linux__)
// The same from another tree laid out as /sys/class/tty (for the tests),
// with /dev/NAME as each port's name.
std::vector<SerialPortInfo> list_serial_ports_in(const std::string& class_tty);
#endif
