// "Read from PS3MCA" and "Write to PS3MCA": jobs on a worker thread while
// the main window is disabled; the worker posts WM_APP when it is done.
#pragma once

#include <windows.h>

#include "adaptor/reader.h"

// At start-up: the reader chosen last (kept in the registry), the PS3
// adaptor unless another was. The adaptor is opened now, or the window says
// why not and disables both commands; a serial reader is opened by the
// first job, on the job's thread (a board may take seconds to answer).
void connect_reader(HWND window);
// The reader the jobs use from now on, kept for the next start; for the
// PS3 adaptor as at start-up. Not while a job runs.
void choose_reader(HWND window, const ReaderChoice& choice);
void read_card_command();
// Posted by a job when its progress moved: the window shows the latest position.
const UINT kProgressMessage = WM_APP + 1;
void update_progress_bar();
// On WM_APP, posted by the job as its last act: the bar's last position,
// what a read brought, the window enabled again, and what went wrong.
void finish_job();
// From the start of a job until finish_job; the window must not end then.
bool job_running();
void write_card_command();
