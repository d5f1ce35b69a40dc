// The serial port through termios: Linux (and any POSIX system).
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "adaptor/serial_port.h"

struct SerialPort {
  int fd = -1;
};

namespace {

using Clock = std::chrono::steady_clock;

struct Speed {
  int baud;
  speed_t constant;
};
constexpr Speed kSpeeds[] = {
    {1200, B1200},     {2400, B2400},     {4800, B4800},   {9600, B9600},
    {19200, B19200},   {38400, B38400},   {57600, B57600}, {115200, B115200},
    {230400, B230400},
#if defined(B460800)
    {460800, B460800},
#endif
#if defined(B500000)
    {500000, B500000}, {921600, B921600}, {1000000, B1000000},
#endif
};

bool speed_constant(int baud, speed_t& constant) {
  for (const Speed& s : kSpeeds) {
    if (s.baud != baud) continue;
    constant = s.constant;
    return true;
  }
  return false;
}

SerialError open_error(int error) {
  switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO: return SerialError::no_such_port;
    case EACCES:
    case EPERM: return SerialError::access_denied;
    case EBUSY: return SerialError::busy;
    default: return SerialError::other;
  }
}

// Raw: no line editing, no translation of CR or NL, no flow control, 8N1.
// With VMIN 1 a non-blocking read tells "nothing yet" (EAGAIN) from a port
// hung up (0); with VMIN 0 Linux answers 0 to both.
bool configure(int fd, speed_t speed) {
  termios t;
  if (tcgetattr(fd, &t) != 0) return false;
  cfmakeraw(&t);
  t.c_cflag &= ~tcflag_t(CSTOPB | PARENB | CSIZE);
#if defined(CRTSCTS)
  t.c_cflag &= ~tcflag_t(CRTSCTS);
#endif
  t.c_cflag |= CS8 | CLOCAL | CREAD;
  t.c_iflag &= ~tcflag_t(IXON | IXOFF | IXANY);
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  if (cfsetispeed(&t, speed) != 0 || cfsetospeed(&t, speed) != 0) return false;
  return tcsetattr(fd, TCSANOW, &t) == 0;
}

}  // namespace

SerialPort* open_serial_port(const std::string& name, int baud, SerialError& error,
                             std::string& detail) {
  error = SerialError::none;
  detail.clear();
  speed_t speed;
  if (!speed_constant(baud, speed)) {
    error = SerialError::speed_unsupported;
    return nullptr;
  }
  const int fd = open(name.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error = open_error(errno);
    detail = std::strerror(errno);
    return nullptr;
  }
  if (!isatty(fd) || !configure(fd, speed)) {
    error = isatty(fd) ? SerialError::other : SerialError::not_serial;
    detail = std::strerror(errno);
    close(fd);
    return nullptr;
  }
  // Boards with native USB send nothing until DTR is up; a pseudo-terminal
  // has neither line, and refuses this.
  const int lines = TIOCM_DTR | TIOCM_RTS;
  ioctl(fd, TIOCMBIS, &lines);
  return new SerialPort{fd};
}

bool set_serial_speed(SerialPort* port, int baud) {
  speed_t speed;
  return speed_constant(baud, speed) && configure(port->fd, speed);
}

bool write_serial(SerialPort* port, const uint8_t* bytes, size_t count) {
  size_t sent = 0;
  while (sent < count) {
    const ssize_t n = write(port->fd, bytes + sent, count - sent);
    if (n > 0) {
      sent += size_t(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) return false;
    // The output queue is full: wait until it takes more.
    pollfd p = {port->fd, POLLOUT, 0};
    if (poll(&p, 1, 1000) <= 0 || (p.revents & (POLLERR | POLLHUP | POLLNVAL))) return false;
  }
  return true;
}

int read_serial(SerialPort* port, uint8_t* bytes, size_t count, int timeout_ms) {
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(timeout_ms);
  size_t got = 0;
  while (got < count) {
    const ssize_t n = read(port->fd, bytes + got, count - got);
    if (n > 0) {
      got += size_t(n);
      continue;
    }
    // End of file: the other side is gone (a pseudo-terminal's master closed).
    if (n == 0 || (errno != EAGAIN && errno != EINTR)) return -1;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
    if (left <= 0) break;
    pollfd p = {port->fd, POLLIN, 0};
    const int ready = poll(&p, 1, int(left) + 1);
    if (ready < 0 && errno != EINTR) return -1;
    if (ready > 0 && !(p.revents & POLLIN) && (p.revents & (POLLERR | POLLHUP | POLLNVAL))) return -1;
  }
  return int(got);
}

void discard_serial_input(SerialPort* port) { tcflush(port->fd, TCIFLUSH); }

void close_serial_port(SerialPort* port) {
  if (!port) return;
  close(port->fd);
  delete port;
}

#if defined(__linux__)

namespace {

namespace fs = std::filesystem;

std::string first_line(const fs::path& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

int hex_id(const fs::path& path) {
  const std::string text = first_line(path);
  if (text.empty() || text.size() > 4 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
    return -1;
  return int(std::stoul(text, nullptr, 16));
}

std::string link_name(const fs::path& link) {
  std::error_code error;
  const fs::path target = fs::canonical(link, error);
  return error ? "" : target.filename().string();
}

// The USB device above a tty's device: the first folder up the tree with
// an idVendor (a ttyUSB's port, then its interface, then the device).
void describe_usb(const fs::path& device, SerialPortInfo& info) {
  fs::path folder = device;
  for (int level = 0; level < 4 && !folder.empty(); ++level, folder = folder.parent_path()) {
    if (!fs::exists(folder / "idVendor")) continue;
    info.vendor = hex_id(folder / "idVendor");
    info.product = hex_id(folder / "idProduct");
    const std::string maker = first_line(folder / "manufacturer");
    const std::string product = first_line(folder / "product");
    info.description = maker.empty() ? product : product.empty() ? maker : maker + " " + product;
    return;
  }
}

}  // namespace

std::vector<SerialPortInfo> list_serial_ports_in(const std::string& class_tty) {
  std::vector<SerialPortInfo> ports;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(class_tty, error)) {
    const fs::path device_link = entry.path() / "device";
    std::error_code missing;
    const fs::path device = fs::canonical(device_link, missing);
    if (missing) continue;  // virtual terminals and pseudo-terminals have no device
    const std::string name = entry.path().filename().string();
    // The kernel makes ttyS0..ttyS31 whether or not the UARTs exist; the
    // ones that are not there hang off the platform's serial8250 device.
    if (name.compare(0, 4, "ttyS") == 0 && link_name(device_link / "subsystem") == "platform") continue;
    SerialPortInfo info;
    info.name = "/dev/" + name;
    describe_usb(device, info);
    // A USB-serial chip's driver names the chip (ch341-uart, cp210x, ftdi_sio).
    const std::string driver = link_name(device_link / "driver");
    if (info.vendor >= 0 && !driver.empty()) info.description += " (" + driver + ")";
    ports.push_back(info);
  }
  std::sort(ports.begin(), ports.end(),
            [](const SerialPortInfo& a, const SerialPortInfo& b) { return a.name < b.name; });
  return ports;
}

std::vector<SerialPortInfo> list_serial_ports() { return list_serial_ports_in("/sys/class/tty"); }

#else

std::vector<SerialPortInfo> list_serial_ports() { return {}; }

#endif
