// The serial port functions of adaptor/serial_port.h over an emulated reader
// in memory, linked in place of the system's half: the reader's answers go
// through a hook that may spoil them, and time is virtual, passing only
// when a read waits out its timeout. One port, by the name `kScriptedPort`.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "adaptor/emulator/serial_reader_device.h"

constexpr char kScriptedPort[] = "scripted";

// Called with each answer the reader makes to what the link sent; it may
// change it, or hold it back (`late`): then it arrives once the next read
// has waited out its timeout.
using AnswerHook = std::function<void(std::vector<uint8_t>& answer, bool& late)>;

struct ScriptedPort {
  SerialReaderDevice device;
  AnswerHook hook;
  double now_ms = 0;
  int speed = 0;
  bool open = false;
  std::deque<uint8_t> incoming;
  std::optional<std::vector<uint8_t>> late;
};

ScriptedPort& scripted_port();
void reset_scripted_port(ReaderKind kind, const CardImage& card, const SerialReaderFaults& faults,
                         AnswerHook hook, const CardImage* second_card = nullptr);
