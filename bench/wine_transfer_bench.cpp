// Times the transfer jobs of the real window against the emulated adaptor
// (1 ms per exchange), progress bar and all, by driving quillcrest-emulated.exe
// as a user does: from the click until the window is enabled again. Also
// times the program's start, until its window shows. A program to run by
// hand under Wine or Windows, not a test.
#include <windows.h>

#include <cstdio>
#include <string>

#include "resources/resource_ids.h"
#include "tests/e2e/driver.h"
#include "tests/support/card_maker.h"

namespace {

const char kLoss[] = "The current loaded Memory Card Data will be lost, continue ?";

double now_ms() {
  LARGE_INTEGER frequency, counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  return 1000.0 * double(counter.QuadPart) / double(frequency.QuadPart);
}

// Waits, polling every millisecond, until the job that `start` began has
// ended; returns the milliseconds from `started`.
double job_time(Program& program, double started) {
  while (program.window_enabled()) Sleep(0);  // the job disables the window first
  while (!program.window_enabled()) Sleep(1);
  return now_ms() - started;
}

void report(const char* job, int exchanges, double wall_ms) {
  std::printf("%-22s %9d %11.1f %10.1f %8.4f\n", job, exchanges, wall_ms, double(exchanges),
              wall_ms / exchanges);
}

}  // namespace

int main() {
  TempFolder folder;
  CardImage card = blank_card();
  for (int i = 0; i < 5; ++i) {
    SaveSpec save;
    save.blocks = 1 + i % 3;
    save.icon_frames = 3;
    add_save(card, save);
  }
  write_file(folder.path("card.mcr"), card_bytes(card));
  SaveSpec extra;
  extra.seed = 0x90;  // every frame of its block differs from a free block's zeroes
  Bytes mcs = mcs_file(extra);
  for (size_t i = 128 + 2 * 128; i < 128 + 4 * 128; ++i) mcs[i] = 0x5A;
  write_file(folder.path("extra.mcs"), mcs);

  double started = now_ms();
  Program program("quillcrest-emulated.exe", {{"QUILLCREST_EMULATED_CARD", folder.path("card.mcr")},
                                              {"QUILLCREST_EMULATED_DELAY_MS", "1"},
                                              {"LOCALAPPDATA", folder.path("appdata")}});
  std::printf("start until the window shows: %.0f ms\n\n", now_ms() - started);
  // The window's first paint takes tens of milliseconds under Wine: let it
  // end before the first job is timed, as a person's first click would.
  program.fence();
  std::printf("job                    exchanges     wall ms   floor ms    ratio\n");

  started = now_ms();
  program.click(IDC_READ_CARD);
  report("full read", 1025, job_time(program, started));

  program.click_and_finish(IDC_FAST_READ);
  program.click(IDC_READ_CARD);
  MessageBoxSeen loss = program.wait_box();
  started = now_ms();
  program.answer(loss, IDYES);
  report("fast read", 92, job_time(program, started));
  program.click_and_finish(IDC_READ_ALL);

  program.click(IDC_READ_CARD);
  program.expect_box("Warning", kLoss, IDYES);
  job_time(program, now_ms());
  program.click(IDC_IMPORT_SAVE);
  program.choose_file(folder.path("extra.mcs"));
  wait_until([&] { return program.text(IDC_COUNTER) == "11/15"; });
  program.click(IDC_WRITE_CARD);
  MessageBoxSeen question = program.wait_box();
  started = now_ms();
  program.answer(question, IDYES);
  report("one-save difference", 2 * 65, job_time(program, started));

  program.click(IDC_NEW_CARD);
  program.expect_box("Warning", kLoss, IDYES);
  wait_until([&] { return program.text(IDC_COUNTER) == "0/15"; });
  started = now_ms();
  program.click(IDC_WRITE_CARD);  // a new card has no last read: the whole card
  report("full write", 2048, job_time(program, started));
  return 0;
}
