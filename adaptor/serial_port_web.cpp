// The serial port through the browser's Web Serial API (navigator.serial),
// for the web page. A page may only open a port the user chose in the
// browser's own picker; the page hands each chosen port to
// Module.serialPorts under a name, which is the port's name here. Every call
// of the API answers with a promise: the calls wait for them through
// Asyncify, so the links see the blocking port of the other systems. A port
// unplugged makes its reads fail, as a USB-serial chip pulled out does.
#include <emscripten.h>

#include <string>

#include "adaptor/serial_port.h"

struct SerialPort {
  int id = 0;        // the page's handle of the open port
  std::string name;  // its name in Module.serialPorts
};

namespace {

// The open port's handle, or 0: the name unknown (1 in `error`), or the
// browser refusing to open it (2, already open elsewhere, or gone).
EM_ASYNC_JS(int, web_open_port, (const char* name, int baud, int* error), {
  const port = (Module.serialPorts || {})[UTF8ToString(name)];
  if (!port) {
    HEAP32[error >> 2] = 1;
    return 0;
  }
  try {
    await port.open({baudRate: baud, dataBits: 8, stopBits: 1, parity: "none", flowControl: "none"});
    try {
      await port.setSignals({dataTerminalReady: true, requestToSend: true});
    } catch (e) {
    }
  } catch (e) {
    HEAP32[error >> 2] = 2;
    return 0;
  }
  const open = {port, baud, bytes: [], failed: false, wake: null, reader: port.readable.getReader()};
  open.pumping = (async () => {
    try {
      for (;;) {
        const {value, done} = await open.reader.read();
        if (done) break;
        for (const byte of value) open.bytes.push(byte);
        if (open.wake) open.wake();
      }
    } catch (e) {
    }
    open.failed = true;  // closed, or unplugged
    if (open.wake) open.wake();
  })();
  Module.openSerial = Module.openSerial || {next: 1};
  const id = Module.openSerial.next++;
  Module.openSerial[id] = open;
  return id;
});

EM_ASYNC_JS(void, web_close_port, (int id), {
  const open = Module.openSerial && Module.openSerial[id];
  if (!open) return;
  delete Module.openSerial[id];
  try {
    await open.reader.cancel();
  } catch (e) {
  }
  try {
    open.reader.releaseLock();
  } catch (e) {
  }
  await open.pumping;
  try {
    await open.port.close();
  } catch (e) {
  }
});

// The bytes that arrived, up to `count`, waiting at most `timeout_ms` for
// them; -1 once the port failed and nothing is left of what came before.
EM_ASYNC_JS(int, web_read_port, (int id, uint8_t* bytes, int count, int timeout_ms), {
  const open = Module.openSerial && Module.openSerial[id];
  if (!open) return -1;
  const deadline = performance.now() + timeout_ms;
  while (open.bytes.length < count && !open.failed) {
    const left = deadline - performance.now();
    if (left <= 0) break;
    await new Promise(resolve => {
      open.wake = resolve;
      setTimeout(resolve, left);
    });
    open.wake = null;
  }
  if (open.failed && open.bytes.length == 0) return -1;
  const got = open.bytes.splice(0, count);
  HEAPU8.set(got, bytes);
  return got.length;
});

EM_ASYNC_JS(int, web_write_port, (int id, const uint8_t* bytes, int count), {
  const open = Module.openSerial && Module.openSerial[id];
  if (!open || open.failed) return 0;
  const writer = open.port.writable.getWriter();
  try {
    await writer.write(HEAPU8.slice(bytes, bytes + count));
    return 1;
  } catch (e) {
    return 0;
  } finally {
    writer.releaseLock();
  }
});

EM_JS(void, web_discard_input, (int id), {
  const open = Module.openSerial && Module.openSerial[id];
  if (open) open.bytes.length = 0;
});

EM_JS(int, web_port_speed, (int id), {
  const open = Module.openSerial && Module.openSerial[id];
  return open ? open.baud : 0;
});

}  // namespace

SerialPort* open_serial_port(const std::string& name, int baud, SerialError& error, std::string& detail) {
  int why = 0;
  const int id = web_open_port(name.c_str(), baud, &why);
  detail.clear();
  if (id == 0) {
    error = why == 1 ? SerialError::no_such_port : SerialError::busy;
    detail = why == 1 ? "the browser was not given this port" : "the browser could not open it";
    return nullptr;
  }
  error = SerialError::none;
  return new SerialPort{id, name};
}

// Web Serial sets the speed when a port opens: it is opened again at the new one.
bool set_serial_speed(SerialPort* port, int baud) {
  if (!port) return false;
  if (web_port_speed(port->id) == baud) return true;
  web_close_port(port->id);
  int why = 0;
  port->id = web_open_port(port->name.c_str(), baud, &why);
  return port->id != 0;
}

bool write_serial(SerialPort* port, const uint8_t* bytes, size_t count) {
  return port && port->id && web_write_port(port->id, bytes, int(count)) == 1;
}

int read_serial(SerialPort* port, uint8_t* bytes, size_t count, int timeout_ms) {
  if (!port || !port->id) return -1;
  return web_read_port(port->id, bytes, int(count), timeout_ms);
}

void discard_serial_input(SerialPort* port) {
  if (port && port->id) web_discard_input(port->id);
}

void close_serial_port(SerialPort* port) {
  if (!port) return;
  if (port->id) web_close_port(port->id);
  delete port;
}

// The page lists the ports the user gave it; the browser tells nothing more.
std::vector<SerialPortInfo> list_serial_ports() { return {}; }
