#include "ui/transfer_commands.h"

#include <commctrl.h>

#include <atomic>
#include <memory>
#include <string>
#include <utility>

#include "adaptor/adaptor_link.h"
#include "adaptor/transfer_jobs.h"
#include "card/card_check.h"
#include "files/backups.h"
#include "resources/resource_ids.h"
#include "ui/app_state.h"
#include "ui/checks.h"
#include "ui/dpi.h"
#include "ui/message_box.h"
#include "ui/slot_view.h"
#include "ui/undo_commands.h"

namespace {

// The job never waits for the bar: it leaves the latest frame number here
// and asks the window's thread to show it, at most once a display frame.
// (Setting the bar repaints it at once; waiting for that on every frame
// cost more than the card's own time.) The window shows the last position
// again when the job ends.
const DWORD kProgressPeriodMs = 15;
std::atomic<int> latest_progress{0};
std::atomic<bool> progress_posted{false};
DWORD last_progress_post = 0;  // the job's thread only

void show_progress(int position) {
  latest_progress = position;
  const DWORD now = GetTickCount();
  if (now - last_progress_post < kProgressPeriodMs || progress_posted.exchange(true)) return;
  last_progress_post = now;
  PostMessageA(app.window, kProgressMessage, 0, 0);
}

// A message box re-enables its owner when it closes, which would let the
// user at the card while a job still runs. So the job asks nothing and shows
// nothing: the question comes before it starts, and its failure is shown by
// the window once the job has ended.
//
// The job's orders are set before its thread starts and its outcome is
// read by the window only after WM_APP: neither is shared while both run.
struct JobOrders {
  bool reading = false;
  bool fast = false;
  bool allow_corrupted = false;
  bool differences_only = false;
  bool back_up = false;  // keep the snapshot as a backup before writing
};
struct JobOutcome {
  Failure failure;
  bool card_read = false;  // every transfer of a read succeeded
  bool read_a_card = false;  // and the image begins with "MC"
  std::unique_ptr<AnalysedView> view;  // its analysis, when it succeeded
};
JobOrders orders;
JobOutcome outcome;

void end_job(Failure failure) {
  outcome.failure = std::move(failure);
  PostMessageA(app.window, WM_APP, 0, 0);
}

// The job reads and analyses; the window's thread shows the result when
// the job has ended, so the job waits for no drawing.
DWORD WINAPI read_job(LPVOID) {
  Failure failure = read_card(app.card, orders.fast, show_progress);
  if (!failure) {
    outcome.card_read = true;
    outcome.read_a_card = is_loaded(app.card);
    auto view = std::make_unique<AnalysedView>();
    failure = analyse_for_view(app.card, orders.allow_corrupted, *view);
    if (!failure) outcome.view = std::move(view);
  }
  end_job(std::move(failure));
  return 0;
}

// The snapshot of a full read is what the real card holds: it goes to a
// backup, whole and on the disk, before the first frame is sent, and a
// backup that cannot be written stops the write with nothing sent.
DWORD WINAPI write_job(LPVOID) {
  std::string backup;
  if (orders.back_up) {
    if (Failure failure = write_backup(app.snapshot, backup)) {
      end_job(std::move(failure));
      return 0;
    }
  }
  end_job(write_card(app.card, app.snapshot, orders.differences_only, show_progress));
  return 0;
}

// Told to whoever would end the session while a job runs (WM_QUERYENDSESSION
// is refused then): stopping a write half-way leaves the card's directory and
// its data disagreeing.
const wchar_t kReadingReason[] = L"The memory card is being read. Please wait until it has finished.";
const wchar_t kWritingReason[] =
    L"The memory card is being written. Stopping now could corrupt its saves.";

// False when the thread could not be started; the window is usable again.
bool start_job(LPTHREAD_START_ROUTINE job) {
  EnableWindow(app.window, FALSE);
  outcome = JobOutcome{};
  app.worker = CreateThread(nullptr, 0, job, nullptr, 0, nullptr);
  if (app.worker) {
    ShutdownBlockReasonCreate(app.window, orders.reading ? kReadingReason : kWritingReason);
    return true;
  }
  EnableWindow(app.window, TRUE);
  show_error("Cannot start the transfer: the system refused a new thread.");
  return false;
}

// What a read brought: a partial or whole card, and its view; the card's
// history starts again from it.
void take_read_card() {
  if (!outcome.card_read) return;
  app.partial_read = orders.fast;
  if (outcome.view) {
    show_analysed_view(*outcome.view, outcome.read_a_card);
    app.snapshot = app.card;
    app.snapshot_valid = true;
    app.snapshot_complete = !orders.fast;
  } else if (outcome.read_a_card) {
    clear_selection_view();
  }
  start_card_history();
}

}  // namespace

void update_progress_bar() {
  progress_posted = false;
  SendDlgItemMessageA(app.window, IDC_PROGRESS, PBM_SETPOS, latest_progress, 0);
}

bool job_running() { return app.worker != nullptr; }

void finish_job() {
  update_progress_bar();
  if (orders.reading) take_read_card();
  rescale_slot_view(window_dpi(app.window));  // the screen may have changed during the job
  if (app.worker) CloseHandle(app.worker);
  app.worker = nullptr;
  ShutdownBlockReasonDestroy(app.window);
  EnableWindow(app.window, TRUE);
  // Repaints were let through during a write; draw everything once more
  // all the same, as after a read.
  if (!orders.reading) redraw_slot_view();
  const Failure failure = std::move(outcome.failure);
  const bool card_read = outcome.card_read;
  outcome = JobOutcome{};
  // Written, the card is what the real card holds: a new history. A write
  // that failed leaves the steps, each still what the user made.
  if (!orders.reading && !failure) start_card_history();
  if (show_failure(failure)) return;
  // A fast read compares only what it read of each block: its save heads.
  if (orders.reading && card_read && halves_mirror(app.card, orders.fast ? kSaveHeadFrames : kFramesPerBlock))
    show_warning(kHalvesMirrorMeaning);
}

namespace {

const char kSettingsKey[] = "Software\\Quillcrest";
const char kReaderValue[] = "Reader";  // in the --reader form

ReaderChoice stored_reader() {
  char text[512] = "";
  DWORD size = sizeof text;
  if (RegGetValueA(HKEY_CURRENT_USER, kSettingsKey, kReaderValue, RRF_RT_REG_SZ, nullptr, text, &size) !=
      ERROR_SUCCESS)
    return ReaderChoice{};
  return parse_reader(text).value_or(ReaderChoice{});
}

void store_reader(const ReaderChoice& choice) {
  HKEY key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return;
  const std::string text = reader_text(choice);
  RegSetValueExA(key, kReaderValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 DWORD(text.size() + 1));
  RegCloseKey(key);
}

void enable_transfers(HWND window, bool enabled) {
  EnableWindow(GetDlgItem(window, IDC_READ_CARD), enabled);
  EnableWindow(GetDlgItem(window, IDC_WRITE_CARD), enabled);
}

// The adaptor opens at once (or says why not); a serial reader is left
// to the first job.
void connect(HWND window) {
  if (current_reader().kind != ReaderKind::ps3) return enable_transfers(window, true);
  const Failure failure = open_adaptor();
  if (failure) show_error(failure->text, "USB Error");
  enable_transfers(window, !failure);
}

}  // namespace

void connect_reader(HWND window) {
  use_reader(stored_reader());
  connect(window);
}

void choose_reader(HWND window, const ReaderChoice& choice) {
  if (job_running()) return;
  use_reader(choice);
  store_reader(choice);
  connect(window);
}

void read_card_command() {
  const bool animating = app.animation_on;
  if (!confirm_loss()) return;
  orders = JobOrders{true, app.fast_read, app.allow_corrupted, false, false};
  if (!start_job(read_job)) app.animation_on = animating;
}

void write_card_command() {
  if (!require_card() || refuse_partial()) return;
  if (app.snapshot_valid && app.card.bytes == app.snapshot.bytes) {
    show_warning("No change made in the Memory Card since the last read.");
    return;
  }
  // What the last read told of the real card: a fake 64 KB card stores the
  // frames of slots 8 to 15 over those of the directory and slots 1 to 7.
  if (app.snapshot_valid &&
      halves_mirror(app.snapshot, app.snapshot_complete ? kFramesPerBlock : kSaveHeadFrames) &&
      !ask_yes_no(std::string(kHalvesMirrorMeaning) + "\n\nWrite to the card all the same ?"))
    return;
  const bool differences_only =
      app.snapshot_valid &&
      ask_yes_no("Do you want to write only the differences from the last read ?\n"
                 "(Click 'No' to write the entire Memory Card.)");
  orders = JobOrders{false, false, false, differences_only, app.snapshot_valid && app.snapshot_complete};
  start_job(write_job);
}
