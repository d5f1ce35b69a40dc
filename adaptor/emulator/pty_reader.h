// An emulated serial card reader on a pseudo-terminal: the program under
// test opens its path (/dev/pts/N) as it opens a real port, through the real
// serial code, and gets the bytes a MemCARDuino board or a DexDrive answers
// (serial_reader_device.h), optionally paced at the line's speed. The
// pseudo-terminal has no DTR or RTS: a board that resets on open is told by
// the port being opened, and the speed the program set is read from the
// terminal's settings. POSIX only.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "adaptor/emulator/serial_reader_device.h"

struct PtyReaderSetup {
  ReaderKind kind = ReaderKind::memcarduino;
  SerialReaderFaults faults;
  // PS1CardLink: the card in the console's slot 2 (the one given to start
  // is in slot 1); null: a formatted card.
  std::shared_ptr<const CardImage> second_card;
  // Every byte takes its time on the line, 10 bits at the speed the program
  // set, in both directions (for the benchmark). Off: at once.
  bool paced = false;
  // The pseudo-terminal becomes the controlling terminal of the caller's
  // session (a session leader's, without one), so that no program opening
  // the port takes it as its own: Wine's server, which opens ports for the
  // programs it runs, would otherwise get a hangup signal when the reader
  // goes. For a process of its own, not for a test's.
  bool claim_terminal = false;
  // Where the card and the counts are kept for another process to read, in
  // the emulated adaptor's format (its README); empty: nowhere. PS1CardLink
  // keeps the card of its slot 2 at the same path with ".slot2" added.
  std::string state_path;
  // A name the port is also known by, as udev links a reader under
  // /dev/serial/by-id: made at the start, and removed when the reader is
  // pulled out, before the pseudo-terminal closes. The kernel hands a freed
  // /dev/pts number to the next program that asks, so after a reader went,
  // only this name is sure to be gone. Empty: none; path() is the terminal's.
  std::string link_path;
};

class PtyReader {
 public:
  PtyReader();
  ~PtyReader();
  PtyReader(const PtyReader&) = delete;
  PtyReader& operator=(const PtyReader&) = delete;

  // Makes the pseudo-terminal and answers on it from a thread of its own;
  // false, with the reason, when the system gives no pseudo-terminal.
  bool start(const CardImage& card, const PtyReaderSetup& setup, std::string& why);
  // Stops answering and closes the pseudo-terminal, as a reader unplugged.
  void stop();
  // The port's name, for --reader: the link if one was asked for.
  const std::string& path() const { return setup_.link_path.empty() ? path_ : setup_.link_path; }

  // The card in the reader; of PS1CardLink, the one in the console's slot 1 or 2.
  CardImage card(int slot = 1) const;
  EmulatorCounts counts() const;
  std::vector<int> written() const;

 private:
  void serve();
  void send(std::vector<uint8_t>& bytes, int speed);
  void store_counts();
  void remove_link();
  std::string slot_state_path(int slot) const;  // slot 0 or 1
  double now_ms() const;

  mutable std::mutex mutex_;
  std::unique_ptr<SerialReaderDevice> device_;
  PtyReaderSetup setup_;
  std::string path_;
  int master_ = -1;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
  double line_free_ms_ = 0;  // when the bytes sent so far have left
  size_t written_stored_ = 0;
};
