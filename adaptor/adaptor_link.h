// The USB connection to the PS3 memory card adaptor and the frame transfers
// that run over it: the first of the readers of reader.h. Portable: it
// reaches USB only through a few libusb calls, and reports progress and
// failures to its caller instead of to a window.
#pragma once

#include "adaptor/reader.h"
#include "card/failure.h"

// Initialises libusb, opens the first adaptor found and claims its interface.
// The connection stays open until the process ends or the adaptor is
// unplugged. Texts: "Error initialising libusb.", "PS3 Memory Card Adaptator
// USB Device not found.", "Cannot claim USB interface.".
Failure open_adaptor();
// After "... not found.": whether an adaptor was plugged in but the system
// would not let this user open it (on Linux, the permissions of its device
// node; see the udev rule beside the command-line program).
bool adaptor_access_refused();

// After "No PS1 Memory Card Detected.": whether the adaptor's last answer
// to detect was "55 02", a PS2 card in its slot. Third-party adaptors answer
// so for some PS1 cards too, and the adaptor for some third-party PS1 cards.
bool adaptor_reported_ps2_card();

// Readies the link for a job, before its first transfer: opens the adaptor
// again when it was unplugged since (with open_adaptor's texts), and takes
// away replies that arrived after their timeout and still wait in the
// adaptor, which would otherwise answer the job's commands.
Failure begin_adaptor_job();

// The adaptor's transfer_frames (ReaderBackend), reached through
// transfer_frames() in reader.h while it is the chosen reader. It checks that
// a PS1 card is plugged in, then reads or writes `frame_count` frames from
// `first_frame` on, in order; `buffer` receives or supplies frame_count * 128
// bytes. A read is taken only when the card confirms the frame number, its
// CHK matches the data and it ends with its good status; a write only when
// the card ends with its good status. Stops at the first failing frame,
// leaving the frames already transferred done: "No PS1 Memory Card
// Detected.", "Read Error." (reads are not retried), "Write Error" (after 4
// attempts). `progress` may be empty. When `transferred` is given it
// receives how many frames went through, on failure too.
Failure adaptor_transfer_frames(Transfer direction, uint8_t* buffer, int first_frame, int frame_count,
                                const Progress& progress, int* transferred);
