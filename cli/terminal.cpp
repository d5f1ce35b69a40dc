#include "cli/terminal.h"

#include <algorithm>
#include <cstdio>

#if defined(_WIN32)
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

namespace {

constexpr int kBarWidth = 40;

}  // namespace

ProgressBar::ProgressBar() : enabled_(isatty(fileno(stderr)) != 0) {}

ProgressBar::~ProgressBar() { clear(); }

void ProgressBar::clear() {
  if (!enabled_ || shown_length_ == 0) return;
  std::fprintf(stderr, "\r%*s\r", int(shown_length_), "");
  std::fflush(stderr);
  bar_.clear();
  shown_length_ = 0;
}

void ProgressBar::show(const char* step, int done, int total) {
  if (!enabled_ || total <= 0) return;
  const int filled = int(long(done) * kBarWidth / total);
  std::string line = std::string(step) + " [" + std::string(size_t(filled), '#') +
                     std::string(size_t(kBarWidth - filled), '.') + "]";
  if (line == bar_) return;
  char count[32];
  std::snprintf(count, sizeof count, " %d/%d", done, total);
  const std::string text = line + count;
  // Padded over whatever a longer line left.
  std::fprintf(stderr, "\r%-*s", int(std::max(text.size(), shown_length_)), text.c_str());
  std::fflush(stderr);
  bar_ = line;
  shown_length_ = text.size();
}
