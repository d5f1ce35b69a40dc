// What the command prints besides its results: a progress bar on stderr,
// only when stderr is a terminal, so that a pipe gets nothing but the
// result line.
#pragma once

#include <string>

class ProgressBar {
 public:
  ProgressBar();
  ~ProgressBar();  // clears the bar's line
  // Shows `done` of `total` for the named step; redraws only when the bar
  // or the step changes.
  void show(const char* step, int done, int total);
  // Takes the bar off its line, so that a line printed now stands alone;
  // the next show draws it again.
  void clear();

 private:
  bool enabled_;
  std::string bar_;       // the step and bar last drawn
  size_t shown_length_ = 0;
};
