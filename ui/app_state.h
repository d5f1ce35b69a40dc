// The program's single state, owned by the main window for the whole run.
// The worker thread touches the card, the snapshot and their flags, and only
// while the main window is disabled.
#pragma once

#include <windows.h>

#include <string>

#include "card/analysis.h"
#include "card/card_image.h"
#include "files/card_formats.h"
#include "files/card_history.h"

struct AppState {
  HINSTANCE instance = nullptr;
  HWND window = nullptr;  // owner of every message box

  CardImage card;
  // The card file last opened: its path, format and GME comments, so that
  // saving over it keeps its format and saving as GME keeps the comments
  // of the saves still on the card.
  std::string file_path;
  CardFileInfo file;
  CardImage snapshot;  // what the real card held after the last read or write
  bool snapshot_valid = false;
  // The snapshot came from a full read, not a fast one: it is the real card
  // whole, and is kept as the backup before a write.
  bool snapshot_complete = false;
  bool partial_read = false;  // the card came from a fast read: never write it out
  bool fast_read = false;
  bool allow_corrupted = false;

  int selected = -1;
  bool animation_on = false;
  int tick = 0;

  // The view: only the window's thread touches it. A read job hands its
  // analysis over when it ends.
  SlotTable slots;
  bool analysed = false;  // some analysis has been shown, so the view has content
  HBITMAP icons[kSlotCount][kMaxIconFrames] = {};
  int shown_frame[kSlotCount] = {};  // the icon frame each slot shows now
  HBITMAP blank_icon = nullptr;
  // The whole pixels icons and frames are drawn at, for the window's DPI
  // (ui/dpi.h); changed only while no job runs, read by a read job.
  int icon_pixel = 2;
  int frame_width = 1;

  // The changes to the card in memory, for Undo and Redo.
  CardHistory history;

  HANDLE worker = nullptr;
};

extern AppState app;
