// "Read from PS3MCA" and "Write to PS3MCA": jobs on a worker thread while
// the main window is disabled; the worker posts WM_APP when it is done.
#pragma once

#include <windows.h>

// At start-up: opens the adaptor, or says why not and disables both commands.
void connect_adaptor(HWND window);
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
