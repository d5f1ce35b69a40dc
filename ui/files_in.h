// Files that come to the window from outside: named on the command line
// (Explorer's "Open with", files dropped on the program's icon, a file
// association), dropped on the window by the shell (WM_DROPFILES) or by OLE
// drag and drop, from Explorer or from another Quillcrest window.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Posted to the main window when files wait to be opened.
// (In this branch's range of ids, clear of the other window messages.)
const UINT kOpenFilesMessage = WM_APP + 0x1200;

// Keeps the files to be opened in this order and posts kOpenFilesMessage,
// so that they are opened by the window's own loop, after the drop or the
// start-up that brought them has ended.
void open_files_later(const std::vector<std::string>& paths);

// On kOpenFilesMessage. Card files are opened first, each as "Open MC/GME"
// opens it (with the question before a loaded card is discarded); then each
// save file is imported as "Import Save from MCS/BIN" imports it, a raw save
// through the naming dialog, into a new card when none is loaded. A file that
// cannot be used gets the buttons' message, and the rest go on. Files that
// arrive meanwhile are opened after these.
void open_waiting_files();

// On WM_DROPFILES: the files, unless the window is busy (a job, a message).
void take_dropped_files(HDROP drop);

// Takes files dropped on the window, by the shell and by OLE drag and drop;
// given up when the window ends.
void accept_dropped_files(HWND window);
void stop_accepting_files(HWND window);
