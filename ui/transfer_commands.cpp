#include "ui/transfer_commands.h"

#include <commctrl.h>

#include <atomic>
#include <utility>

#include "adaptor/transfer_jobs.h"
#include "resources/resource_ids.h"
#include "ui/app_state.h"
#include "ui/checks.h"
#include "ui/message_box.h"
#include "ui/slot_view.h"

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
Failure job_failure;
bool write_differences_only = false;

void end_job(Failure failure) {
  job_failure = std::move(failure);
  PostMessageA(app.window, WM_APP, 0, 0);
}

DWORD WINAPI read_job(LPVOID) {
  const bool fast = app.fast_read;
  Failure failure = read_card(app.card, fast, show_progress);
  if (!failure) {
    app.partial_read = fast;
    failure = analyse_and_show();
    if (!failure) {
      app.snapshot = app.card;
      app.snapshot_valid = true;
    }
  }
  end_job(std::move(failure));
  return 0;
}

DWORD WINAPI write_job(LPVOID) {
  end_job(write_card(app.card, app.snapshot, write_differences_only, show_progress));
  return 0;
}

// False when the thread could not be started; the window is usable again.
bool start_job(LPTHREAD_START_ROUTINE job) {
  EnableWindow(app.window, FALSE);
  app.worker = CreateThread(nullptr, 0, job, nullptr, 0, nullptr);
  if (app.worker) return true;
  EnableWindow(app.window, TRUE);
  show_error("Cannot start the transfer: the system refused a new thread.");
  return false;
}

}  // namespace

void update_progress_bar() {
  progress_posted = false;
  SendDlgItemMessageA(app.window, IDC_PROGRESS, PBM_SETPOS, latest_progress, 0);
}

void finish_job() {
  update_progress_bar();
  if (app.worker) CloseHandle(app.worker);
  app.worker = nullptr;
  EnableWindow(app.window, TRUE);
  Failure failure = std::move(job_failure);
  job_failure.reset();
  show_failure(failure);
}

void connect_adaptor(HWND window) {
  const Failure failure = open_adaptor();
  if (!failure) return;
  show_error(failure->text, "USB Error");
  EnableWindow(GetDlgItem(window, IDC_READ_CARD), FALSE);
  EnableWindow(GetDlgItem(window, IDC_WRITE_CARD), FALSE);
}

void read_card_command() {
  const bool animating = app.animation_on;
  if (!confirm_loss()) return;
  if (!start_job(read_job)) app.animation_on = animating;
}

void write_card_command() {
  if (!require_card() || refuse_partial()) return;
  if (app.snapshot_valid && app.card.bytes == app.snapshot.bytes) {
    show_warning("No change made in the Memory Card since the last read.");
    return;
  }
  write_differences_only =
      app.snapshot_valid &&
      ask_yes_no("Do you want to write only the differences from the last read ?\n"
                 "(Click 'No' to write the entire Memory Card.)");
  start_job(write_job);
}
