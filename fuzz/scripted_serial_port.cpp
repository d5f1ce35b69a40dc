#include "fuzz/scripted_serial_port.h"

#include <algorithm>

#include "adaptor/serial_port.h"

struct SerialPort {
  int unused;
};

namespace {

ScriptedPort& port_state() {
  static ScriptedPort* port = new ScriptedPort;  // holds a card: not on the stack, never destroyed
  return *port;
}

SerialPort the_port;

void arrive(const std::vector<uint8_t>& bytes) {
  ScriptedPort& p = port_state();
  p.incoming.insert(p.incoming.end(), bytes.begin(), bytes.end());
}

}  // namespace

ScriptedPort& scripted_port() { return port_state(); }

void reset_scripted_port(ReaderKind kind, const CardImage& card, const SerialReaderFaults& faults,
                         AnswerHook hook, const CardImage* second_card) {
  ScriptedPort& p = port_state();
  reset_serial_device(p.device, kind, card, faults, second_card);
  p.hook = std::move(hook);
  p.now_ms = 0;
  p.speed = 0;
  p.open = false;
  p.incoming.clear();
  p.late.reset();
}

SerialPort* open_serial_port(const std::string& name, int baud, SerialError& error, std::string& detail) {
  ScriptedPort& p = port_state();
  detail.clear();
  if (name != kScriptedPort || p.device.gone) {
    error = SerialError::no_such_port;
    return nullptr;
  }
  error = SerialError::none;
  p.open = true;
  p.speed = baud;
  p.incoming.clear();
  p.late.reset();
  std::vector<uint8_t> junk;
  serial_device_opened(p.device, p.now_ms, junk);
  arrive(junk);
  return &the_port;
}

bool set_serial_speed(SerialPort*, int baud) {
  port_state().speed = baud;
  return true;
}

bool write_serial(SerialPort*, const uint8_t* bytes, size_t count) {
  ScriptedPort& p = port_state();
  if (!p.open || p.device.gone) return false;
  std::vector<uint8_t> answer;
  serial_device_receive(p.device, bytes, count, p.speed, p.now_ms, answer);
  if (answer.empty()) return true;
  bool late = false;
  if (p.hook) p.hook(answer, late);
  if (late) p.late = answer;
  else arrive(answer);
  return true;
}

int read_serial(SerialPort*, uint8_t* bytes, size_t count, int timeout_ms) {
  ScriptedPort& p = port_state();
  if (!p.open) return -1;
  const bool waits = p.incoming.size() < count;
  const size_t got = std::min(count, p.incoming.size());
  if (got == 0 && p.device.gone) return -1;
  std::copy_n(p.incoming.begin(), got, bytes);
  p.incoming.erase(p.incoming.begin(), p.incoming.begin() + long(got));
  if (waits) {
    // It waited the timeout out: a late answer, and a booting board's
    // bytes, arrive just after.
    p.now_ms += std::max(timeout_ms, 0);
    if (p.late) arrive(*p.late);
    p.late.reset();
    std::vector<uint8_t> junk;
    serial_device_tick(p.device, p.now_ms, junk);
    arrive(junk);
  }
  return int(got);
}

void discard_serial_input(SerialPort*) { port_state().incoming.clear(); }

void close_serial_port(SerialPort*) { port_state().open = false; }

std::vector<SerialPortInfo> list_serial_ports() { return {}; }
