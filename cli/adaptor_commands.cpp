// The verbs on the card in the adaptor: the window's reads, and a write that
// checks what it wrote.
#include <cstdio>
#include <memory>
#include <string>

#include "adaptor/card_sync.h"
#include "adaptor/transfer_jobs.h"
#include "cli/commands.h"
#include "cli/terminal.h"
#include "files/card_file.h"

namespace {

#if defined(__linux__)
// libusb lists the adaptor but may not open its device node: by default
// only root may. The rule gives the user at the computer access to it.
const char kNoAccess[] =
    "The PS3 memory card adaptor is plugged in, but this user may not open it.\n"
    "The udev rule 70-ps3-memory-card-adaptor.rules lets the user logged in at the\n"
    "computer use it. The quillcrest-cli package installs it in /usr/lib/udev/rules.d/;\n"
    "from the source, install it with:\n"
    "  sudo install -m 644 cli/udev/70-ps3-memory-card-adaptor.rules /etc/udev/rules.d/\n"
    "  sudo udevadm control --reload-rules\n"
    "Once the rule is installed, unplug the adaptor and plug it in again.";
#endif

Failure connect() {
  Failure failure = open_adaptor();
#if defined(__linux__)
  if (failure && adaptor_access_refused()) return fail(kNoAccess);
#endif
  return failure;
}

// The card in the adaptor, whole or fast, with a progress bar.
Failure read_from_adaptor(bool fast, CardImage& card) {
  if (Failure failure = connect()) return failure;
  ProgressBar bar;
  const char* step = fast ? "fast read" : "reading";
  return read_card(card, fast, [&bar, step](int position) {
    if (position != kProgressEnd) bar.show(step, position, kFrameCount);
  });
}

const char* step_name(SyncStep step) {
  switch (step) {
    case SyncStep::reading: return "reading  ";
    case SyncStep::writing: return "writing  ";
    case SyncStep::verifying: return "verifying";
  }
  return "";
}

std::string frames_text(size_t count) {
  return std::to_string(count) + (count == 1 ? " frame" : " frames");
}

std::string frame_list(const std::vector<int>& frames) {
  std::string text;
  for (size_t i = 0; i < frames.size(); ++i) text += (i ? "," : "") + std::to_string(frames[i]);
  return text;
}

}  // namespace

int list_adaptor_card(const Arguments& arguments) {
  auto card = std::make_unique<CardImage>();
  if (Failure failure = read_from_adaptor(true, *card)) return report_failure(failure);
  auto slots = std::make_unique<SlotTable>();
  if (Failure failure = analyse_card(*card, *slots, arguments.has("--allow-corrupted")))
    return report_failure(failure);
  return print_listing(arguments, *card, *slots);
}

int read_command(const Arguments& arguments) {
  auto card = std::make_unique<CardImage>();
  if (Failure failure = read_from_adaptor(false, *card)) return report_failure(failure);
  const std::string& out = arguments.operands[0];
  CardFileInfo file;
  file.format = card_format_for_path(out);  // read SCEVMC0.VMP makes a card a PSP takes
  if (Failure failure = write_card_file(out, *card, file)) return report_failure(failure);
  // The file holds the card byte for byte whatever it is; the analysis only
  // tells the user what it holds (and would clear byte 0 of a copy it rejects).
  auto analysed = std::make_unique<CardImage>(*card);
  auto slots = std::make_unique<SlotTable>();
  if (Failure failure = analyse_card(*analysed, *slots, false)) {
    std::fprintf(stderr, "%s\n", failure->text.c_str());
    std::printf("Read the card into %s; it holds no formatted memory card.\n", out.c_str());
  } else {
    std::printf("Read the card into %s (%d/15).\n", out.c_str(), slots->used);
  }
  return kDone;
}

int write_command(const Arguments& arguments) {
  auto card = std::make_unique<CardImage>();
  auto slots = std::make_unique<SlotTable>();
  const std::string& path = arguments.operands[0];
  if (Failure failure = open_card(path, false, *card, *slots)) return report_failure(failure);
  if (Failure failure = connect()) return report_failure(failure);
  const bool verify = !arguments.has("--no-verify");
  SyncReport report;
  Failure failure;
  {
    ProgressBar bar;
    failure = sync_card(*card, arguments.has("--all"), verify,
                        [&bar](SyncStep step, int done, int total) { bar.show(step_name(step), done, total); },
                        report);
  }
  if (failure) {
    report_failure(failure);
    if (report.mismatched.empty())
      std::fprintf(stderr, "%s %s written before it stopped%s%s.\n",
                   frames_text(report.written.size()).c_str(), report.written.size() == 1 ? "was" : "were",
                   report.written.empty() ? "" : ": ", frame_list(report.written).c_str());
    return kFailed;
  }
  if (report.written.empty())
    std::printf("The card already holds %s: nothing written.\n", path.c_str());
  else if (verify)
    std::printf("Wrote %s, verified %d.\n", frames_text(report.written.size()).c_str(),
                int(report.verified.size()));
  else
    std::printf("Wrote %s, not verified.\n", frames_text(report.written.size()).c_str());
  return kDone;
}
