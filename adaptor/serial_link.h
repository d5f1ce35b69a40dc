// What the two serial readers' links share: opening the port with messages
// that name the reader and its port, and taking a late reply off the line.
#pragma once

#include <string>

#include "adaptor/reader.h"
#include "adaptor/serial_port.h"
#include "card/failure.h"

// Opens the chosen reader's port at `baud`. The failure names the reader
// and the port, and on Linux a refused port the dialout group.
Failure open_reader_port(const ReaderChoice& choice, int baud, SerialPort*& port);

// Reads and drops bytes until none came for `quiet_ms` (at most about a
// second): a reply that came too late, or the rest of a garbled one, would
// otherwise stand for the next. False when the port failed.
bool wait_for_quiet(SerialPort* port, int quiet_ms);
constexpr int kQuietMs = 50;
