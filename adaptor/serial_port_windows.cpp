// The serial port through the Win32 communications functions. Ports are
// opened as \\.\COMn, the one name that reaches COM10 and above too.
#include <windows.h>

#include <initguid.h>
// Ordered after windows.h and initguid.h, which they need.
#include <devguid.h>
#include <setupapi.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "adaptor/serial_port.h"

struct SerialPort {
  HANDLE handle = INVALID_HANDLE_VALUE;
  int timeout_ms = -1;  // the read timeout last set
};

namespace {

std::string device_name(const std::string& name) {
  return name.compare(0, 4, "\\\\.\\") == 0 ? name : "\\\\.\\" + name;
}

std::string system_text(DWORD error) {
  char text[256] = "";
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                 sizeof text, nullptr);
  std::string result = text;
  while (!result.empty() && (result.back() == '\n' || result.back() == '\r' || result.back() == '.'))
    result.pop_back();
  return result;
}

// Raw 8N1 at `baud`: no flow control of either kind, no character
// replaced or dropped, DTR and RTS up.
bool configure(HANDLE handle, int baud) {
  DCB dcb = {};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(handle, &dcb)) return false;
  dcb.BaudRate = DWORD(baud);
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = ONESTOPBIT;
  dcb.fBinary = TRUE;
  dcb.fParity = FALSE;
  dcb.fOutxCtsFlow = FALSE;
  dcb.fOutxDsrFlow = FALSE;
  dcb.fDtrControl = DTR_CONTROL_ENABLE;
  dcb.fRtsControl = RTS_CONTROL_ENABLE;
  dcb.fDsrSensitivity = FALSE;
  dcb.fOutX = FALSE;
  dcb.fInX = FALSE;
  dcb.fErrorChar = FALSE;
  dcb.fNull = FALSE;
  dcb.fAbortOnError = FALSE;
  return SetCommState(handle, &dcb) != FALSE;
}

bool set_timeout(SerialPort* port, int timeout_ms) {
  if (port->timeout_ms == timeout_ms) return true;
  COMMTIMEOUTS timeouts = {};
  if (timeout_ms <= 0) {
    timeouts.ReadIntervalTimeout = MAXDWORD;  // what is there, at once
  } else {
    timeouts.ReadTotalTimeoutConstant = DWORD(timeout_ms);
  }
  timeouts.WriteTotalTimeoutConstant = 5000;
  if (!SetCommTimeouts(port->handle, &timeouts)) return false;
  port->timeout_ms = timeout_ms;
  return true;
}

}  // namespace

SerialPort* open_serial_port(const std::string& name, int baud, SerialError& error,
                             std::string& detail) {
  error = SerialError::none;
  detail.clear();
  const HANDLE handle = CreateFileA(device_name(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    detail = system_text(code);
    // A port another program has open answers "access denied".
    error = code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? SerialError::no_such_port
            : code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION ? SerialError::busy
                                                                              : SerialError::other;
    return nullptr;
  }
  auto* port = new SerialPort{handle};
  if (!configure(handle, baud) || !set_timeout(port, 1)) {
    const DWORD code = GetLastError();
    detail = system_text(code);
    error = code == ERROR_INVALID_PARAMETER ? SerialError::speed_unsupported : SerialError::not_serial;
    close_serial_port(port);
    return nullptr;
  }
  // The DCB asked for DTR and RTS already; some drivers (and Wine on a
  // pseudo-terminal) refuse these, which is no failure.
  EscapeCommFunction(handle, SETDTR);
  EscapeCommFunction(handle, SETRTS);
  PurgeComm(handle, PURGE_RXCLEAR | PURGE_TXCLEAR);
  return port;
}

bool set_serial_speed(SerialPort* port, int baud) { return configure(port->handle, baud); }

bool write_serial(SerialPort* port, const uint8_t* bytes, size_t count) {
  DWORD written = 0;
  return WriteFile(port->handle, bytes, DWORD(count), &written, nullptr) && written == count;
}

int read_serial(SerialPort* port, uint8_t* bytes, size_t count, int timeout_ms) {
  if (!set_timeout(port, timeout_ms)) return -1;
  DWORD got = 0;
  // With a total timeout set, ReadFile returns once all bytes came or the
  // time is up; it fails when the device went away.
  if (!ReadFile(port->handle, bytes, DWORD(count), &got, nullptr)) return -1;
  return int(got);
}

void discard_serial_input(SerialPort* port) { PurgeComm(port->handle, PURGE_RXCLEAR); }

void close_serial_port(SerialPort* port) {
  if (!port) return;
  CloseHandle(port->handle);
  delete port;
}

namespace {

std::string registry_text(HKEY key, const char* value) {
  char text[256] = "";
  DWORD size = sizeof text - 1, type = 0;
  if (RegQueryValueExA(key, value, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS ||
      type != REG_SZ)
    return "";
  text[std::min<DWORD>(size, sizeof text - 1)] = 0;
  return text;
}

// "USB\VID_1A86&PID_7523&REV_0254": the ids after VID_ and PID_.
int id_after(const std::string& hardware_id, const char* mark) {
  const size_t at = hardware_id.find(mark);
  if (at == std::string::npos) return -1;
  return int(std::strtol(hardware_id.substr(at + std::strlen(mark), 4).c_str(), nullptr, 16));
}

// What SetupAPI tells of the port named `info.name`: its friendly name and
// the USB ids in its hardware id.
void describe(HDEVINFO devices, SerialPortInfo& info) {
  SP_DEVINFO_DATA device = {};
  device.cbSize = sizeof device;
  for (DWORD i = 0; SetupDiEnumDeviceInfo(devices, i, &device); ++i) {
    HKEY key = SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) continue;
    const std::string port_name = registry_text(key, "PortName");
    RegCloseKey(key);
    if (_stricmp(port_name.c_str(), info.name.c_str()) != 0) continue;
    char text[512] = "";
    if (SetupDiGetDeviceRegistryPropertyA(devices, &device, SPDRP_FRIENDLYNAME, nullptr,
                                          reinterpret_cast<BYTE*>(text), sizeof text - 1, nullptr))
      info.description = text;
    char ids[512] = "";
    if (SetupDiGetDeviceRegistryPropertyA(devices, &device, SPDRP_HARDWAREID, nullptr,
                                          reinterpret_cast<BYTE*>(ids), sizeof ids - 1, nullptr)) {
      info.vendor = id_after(ids, "VID_");
      info.product = id_after(ids, "PID_");
    }
    return;
  }
}

}  // namespace

std::vector<SerialPortInfo> list_serial_ports() {
  std::vector<SerialPortInfo> ports;
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
    return ports;
  for (DWORD i = 0;; ++i) {
    char value[256], data[256];
    DWORD value_size = sizeof value, data_size = sizeof data - 1, type = 0;
    if (RegEnumValueA(key, i, value, &value_size, nullptr, &type, reinterpret_cast<BYTE*>(data),
                      &data_size) != ERROR_SUCCESS)
      break;
    if (type != REG_SZ) continue;
    data[std::min<DWORD>(data_size, sizeof data - 1)] = 0;
    SerialPortInfo info;
    info.name = data;
    ports.push_back(info);
  }
  RegCloseKey(key);
  HDEVINFO devices = SetupDiGetClassDevsA(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
  if (devices != INVALID_HANDLE_VALUE) {
    for (SerialPortInfo& info : ports) describe(devices, info);
    SetupDiDestroyDeviceInfoList(devices);
  }
  // COM2 before COM10.
  std::sort(ports.begin(), ports.end(), [](const SerialPortInfo& a, const SerialPortInfo& b) {
    return a.name.size() != b.name.size() ? a.name.size() < b.name.size() : a.name < b.name;
  });
  return ports;
}
