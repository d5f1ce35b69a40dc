// What the two serial readers' links share: opening the port with messages
// that name the reader and its port, taking a late reply off the line, and
// the run of frames with the window's texts.
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

// What one frame came to, after its attempts.
enum class FrameOutcome { done, no_card, failed, lost };

// A reader's own exchange of one frame, with its attempts.
using FrameExchange = FrameOutcome (*)(Transfer direction, int frame_number, uint8_t* data);

// The frames from first_frame on through `exchange`, as ReaderBackend's
// transfer_frames: "No PS1 Memory Card Detected.", "Read Error.", "Write
// Error". A serial reader needs no command of its own to look for the
// card: each frame command answers that the slot is empty. A port that
// failed (`lost`) is let go with `lose`; `port` null counts as lost.
Failure transfer_serial_frames(SerialPort* port, FrameExchange exchange, void (*lose)(), Transfer direction,
                               uint8_t* buffer, int first_frame, int frame_count, const Progress& progress,
                               int* transferred);
