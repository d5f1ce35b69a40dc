#include "adaptor/emulator/pty_reader.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include "card/editing.h"

#include <chrono>
#include <cstring>

#include "adaptor/emulator/emulator_state.h"

namespace {

constexpr int kPollMs = 2;
constexpr size_t kPacedChunk = 16;  // bytes written at once when pacing, as a USB-serial chip hands them on

int speed_of(speed_t constant) {
  struct Speed {
    speed_t constant;
    int baud;
  };
  static const Speed speeds[] = {{B1200, 1200},     {B2400, 2400},     {B4800, 4800},
                                 {B9600, 9600},     {B19200, 19200},   {B38400, 38400},
                                 {B57600, 57600},   {B115200, 115200}, {B230400, 230400},
                                 {B460800, 460800}, {B500000, 500000}, {B921600, 921600}};
  for (const Speed& s : speeds)
    if (s.constant == constant) return s.baud;
  return 0;
}

// The steady clock is CLOCK_MONOTONIC.
void sleep_until_ms(double when_ms, std::chrono::steady_clock::time_point epoch) {
  const auto when = epoch + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                std::chrono::duration<double, std::milli>(when_ms));
  const long long ns =
      std::chrono::duration_cast<std::chrono::nanoseconds>(when.time_since_epoch()).count();
  const timespec t = {time_t(ns / 1000000000), long(ns % 1000000000)};
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, nullptr) == EINTR) {
  }
}

const std::chrono::steady_clock::time_point kEpoch = std::chrono::steady_clock::now();

}  // namespace

PtyReader::PtyReader() : device_(std::make_unique<SerialReaderDevice>()) {}

PtyReader::~PtyReader() { stop(); }

double PtyReader::now_ms() const {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - kEpoch).count();
}

bool PtyReader::start(const CardImage& card, const PtyReaderSetup& setup, std::string& why) {
  stop();
  int slave = -1;
  char name[128] = "";
  if (openpty(&master_, &slave, name, nullptr, nullptr) != 0) {
    why = std::string("no pseudo-terminal: ") + std::strerror(errno);
    return false;
  }
  // Raw from the start: bytes the reader sends before the program set the
  // port up must not echo back as if the program had sent them.
  termios t;
  tcgetattr(slave, &t);
  cfmakeraw(&t);
  cfsetspeed(&t, B9600);
  tcsetattr(slave, TCSANOW, &t);
  if (setup.claim_terminal) ioctl(slave, TIOCSCTTY, 0);
  // Only the program holds the port open from now on, so that its opening
  // and closing show on the master.
  close(slave);
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
  fcntl(master_, F_SETFD, FD_CLOEXEC);
  path_ = name;
  setup_ = setup;
  if (!setup_.link_path.empty()) {
    unlink(setup_.link_path.c_str());
    if (symlink(path_.c_str(), setup_.link_path.c_str()) != 0) {
      why = "cannot link " + setup_.link_path + ": " + std::strerror(errno);
      close(master_);
      master_ = -1;
      setup_.link_path.clear();
      return false;
    }
  }
  auto blank = std::make_unique<CardImage>();
  format_card(*blank);
  reset_serial_device(*device_, setup.kind, card, setup.faults,
                      setup.second_card ? setup.second_card.get() : blank.get());
  written_stored_ = 0;
  if (!setup_.state_path.empty()) {
    store_state_card(setup_.state_path, device_->card);
    if (setup_.kind == ReaderKind::ps1cardlink) store_state_card(slot_state_path(1), device_->other_card);
    store_state_counts(setup_.state_path, device_->counts, device_->written);
  }
  stopping_ = false;
  thread_ = std::thread([this] { serve(); });
  return true;
}

void PtyReader::stop() {
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
  remove_link();
  if (master_ >= 0) close(master_);
  master_ = -1;
}

void PtyReader::remove_link() {
  if (!setup_.link_path.empty()) unlink(setup_.link_path.c_str());
}

CardImage PtyReader::card(int slot) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return card_in_slot(*device_, slot);
}

std::string PtyReader::slot_state_path(int slot) const {
  return slot == 0 ? setup_.state_path : setup_.state_path + ".slot2";
}

EmulatorCounts PtyReader::counts() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return device_->counts;
}

std::vector<int> PtyReader::written() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return device_->written;
}

// The bytes go out at once, or paced: in chunks, each when its last byte
// would have left the line, after what was sent before.
void PtyReader::send(std::vector<uint8_t>& bytes, int speed) {
  const double byte_ms = speed > 0 ? 10.0 * 1000.0 / speed : 0;
  double due = std::max(now_ms(), line_free_ms_);
  for (size_t sent = 0; sent < bytes.size();) {
    const size_t chunk = setup_.paced ? std::min(kPacedChunk, bytes.size() - sent) : bytes.size() - sent;
    if (setup_.paced) {
      due += double(chunk) * byte_ms;
      sleep_until_ms(due, kEpoch);
    }
    const ssize_t n = write(master_, bytes.data() + sent, chunk);
    if (n > 0) {
      sent += size_t(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) break;
    pollfd p = {master_, POLLOUT, 0};
    if (poll(&p, 1, 100) <= 0) break;  // the program stopped reading
  }
  if (setup_.paced) line_free_ms_ = due;
  bytes.clear();
}

void PtyReader::store_counts() {
  if (setup_.state_path.empty()) return;
  std::lock_guard<std::mutex> lock(mutex_);
  store_state_counts(setup_.state_path, device_->counts, device_->written);
}

void PtyReader::serve() {
  prctl(PR_SET_TIMERSLACK, 1UL);  // pacing wakes on time, not 50 us late
  std::vector<uint8_t> out;
  bool open = false;
  bool counts_due = false;  // written once the line is idle: a file per command would slow it
  int speed = 0;
  double in_free_ms = 0;
  while (!stopping_) {
    pollfd p = {master_, POLLIN, 0};
    poll(&p, 1, kPollMs);
    // No slave open: the program has not opened the port, or closed it.
    if ((p.revents & POLLHUP) && !(p.revents & POLLIN)) {
      open = false;
      if (counts_due) store_counts();
      counts_due = false;
      usleep(1000);
      continue;
    }
    termios t;
    if (tcgetattr(master_, &t) == 0) speed = speed_of(cfgetospeed(&t));  // what the program set
    uint8_t bytes[4096];
    ssize_t got = 0;
    if (p.revents & POLLIN) got = read(master_, bytes, sizeof bytes);
    std::unique_lock<std::mutex> lock(mutex_);
    if (!open) {
      open = true;
      serial_device_opened(*device_, now_ms(), out);
    }
    if (got > 0) {
      if (setup_.paced && speed > 0) {
        // The bytes have arrived once their last one crossed the line.
        in_free_ms = std::max(now_ms(), in_free_ms) + double(got) * 10.0 * 1000.0 / speed;
        lock.unlock();
        sleep_until_ms(in_free_ms, kEpoch);
        lock.lock();
      }
      serial_device_receive(*device_, bytes, size_t(got), speed, now_ms(), out);
    } else {
      serial_device_tick(*device_, now_ms(), out);
    }
    if (!setup_.state_path.empty()) {
      for (; written_stored_ < device_->written.size(); ++written_stored_) {
        const int f = device_->written[written_stored_];
        const int slot = device_->written_slots[written_stored_];
        const CardImage& card = card_in_slot(*device_, slot + 1);
        store_state_frame(slot_state_path(slot), card, f);
        if (setup_.faults.half_size) store_state_frame(slot_state_path(slot), card, (f + 512) % 1024);
      }
      if (got <= 0 && counts_due) store_state_counts(setup_.state_path, device_->counts, device_->written);
      counts_due = got > 0;
    }
    const bool gone = device_->gone;
    lock.unlock();
    send(out, speed);
    if (gone) {
      store_counts();
      // Pulled out: the port disappears under the program.
      remove_link();
      close(master_);
      master_ = -1;
      return;
    }
  }
  if (counts_due) store_counts();
}
