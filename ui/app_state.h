// The program's single state, owned by the main window for the whole run.
// The worker thread touches it only while the main window is disabled.
#pragma once

#include <windows.h>

#include <atomic>

#include "card/analysis.h"
#include "card/card_image.h"

struct AppState {
  HINSTANCE instance = nullptr;
  HWND window = nullptr;  // owner of every message box

  CardImage card;
  CardImage snapshot;  // what the real card held after the last read or write
  bool snapshot_valid = false;
  bool partial_read = false;  // the card came from a fast read: never write it out
  bool fast_read = false;
  bool allow_corrupted = false;

  int selected = -1;
  // The timer reads these while a read job rebuilds the icons on its thread.
  std::atomic<bool> animation_on{false};
  std::atomic<int> tick{0};

  SlotTable slots;
  bool analysed = false;  // some analysis has been shown, so the view has content
  HBITMAP icons[kSlotCount][kMaxIconFrames] = {};
  HBITMAP blank_icon = nullptr;

  HANDLE worker = nullptr;
};

extern AppState app;
