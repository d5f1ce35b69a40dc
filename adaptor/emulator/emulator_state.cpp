#include "adaptor/emulator/emulator_state.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "card/editing.h"

namespace {

constexpr int kSetupError = 3;  // exit status when the environment is unusable

[[noreturn]] void stop(const std::string& why) {
  std::fprintf(stderr, "quillcrest usb emulator: %s\n", why.c_str());
  std::exit(kSetupError);
}

bool parse_number(const std::string& text, int limit, int& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  const long number = std::strtol(text.c_str(), &end, 0);
  if (*end != 0 || number < 0 || number > limit) return false;
  value = int(number);
  return true;
}

struct DetectName {
  const char* name;
  DetectFault fault;
};
constexpr DetectName kDetectNames[] = {{"no-card", DetectFault::no_card},
                                       {"ps2-card", DetectFault::ps2_card},
                                       {"detect-short", DetectFault::short_reply},
                                       {"detect-long", DetectFault::long_reply},
                                       {"detect-silent", DetectFault::silent}};

struct ReplyName {
  const char* name;
  ReplyFault fault;
};
constexpr ReplyName kReplyNames[] = {{"short", ReplyFault::short_reply},
                                     {"long", ReplyFault::long_reply},
                                     {"bad-start", ReplyFault::wrong_start},
                                     {"bad-mark", ReplyFault::wrong_mark},
                                     {"silent", ReplyFault::silent},
                                     {"late", ReplyFault::late},
                                     {"refused", ReplyFault::refused},
                                     {"bad-sector", ReplyFault::bad_sector},
                                     {"flipped-bit", ReplyFault::flipped_bit},
                                     {"bad-checksum", ReplyFault::bad_checksum},
                                     {"bad-echo", ReplyFault::bad_echo},
                                     {"bad-end", ReplyFault::bad_end}};

constexpr int kLargestCount = 1 << 30;

// One fault: NAME, NAME@NUMBER or NAME@NUMBER*TIMES.
bool parse_fault(std::string token, EmulatorSetup& setup) {
  int times = -1;
  int at = -1;
  const size_t star = token.find('*');
  if (star != std::string::npos) {
    if (!parse_number(token.substr(star + 1), kLargestCount, times)) return false;
    token.resize(star);
  }
  const size_t at_sign = token.find('@');
  if (at_sign != std::string::npos) {
    if (!parse_number(token.substr(at_sign + 1), kLargestCount, at)) return false;
    token.resize(at_sign);
  }
  const bool plain = at < 0 && times < 0;
  bool* flag = token == "init-fails"      ? &setup.init_fails
               : token == "no-device"     ? &setup.no_device
               : token == "claim-fails"   ? &setup.claim_fails
               : token == "no-access"     ? &setup.no_access
               : token == "real-timeouts" ? &setup.real_timeouts
               : token == "half-size"     ? &setup.half_size
                                          : nullptr;
  if (flag) {
    *flag = true;
    return plain;
  }
  if (token == "gone") {
    if (at < 0) return false;
    setup.gone_at_command = at;
    setup.gone_for_opens = times < 0 ? 0 : times;
    return true;
  }
  for (const DetectName& d : kDetectNames) {
    if (token != d.name || times >= 0) continue;
    setup.detect_fault = d.fault;
    setup.detect_fault_from = at < 0 ? 0 : at;
    return true;
  }
  // "write-short@F" and the like spare the reads of frame F.
  const std::string write_prefix = "write-";
  const bool writes_only = token.compare(0, write_prefix.size(), write_prefix) == 0;
  if (writes_only) token.erase(0, write_prefix.size());
  for (const ReplyName& r : kReplyNames) {
    if (token != r.name || at < 0 || at >= kFrameCount) continue;
    // The card's own refusals concern one kind of command already.
    if (writes_only && r.fault >= ReplyFault::refused) return false;
    setup.reply_fault = r.fault;
    setup.fault_on_writes_only = writes_only;
    setup.fault_frame = at;
    setup.fault_times = times;
    return true;
  }
  return false;
}

std::string trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

FILE* open_or_stop(const std::string& path, const char* mode) {
  FILE* file = std::fopen(path.c_str(), mode);
  if (!file) stop("cannot open " + path);
  return file;
}

void write_or_stop(FILE* file, const void* bytes, size_t size, const std::string& path) {
  const bool written = std::fwrite(bytes, 1, size, file) == size;
  if (std::fclose(file) != 0 || !written) stop("cannot write " + path);
}

}  // namespace

bool parse_faults(const std::string& text, EmulatorSetup& setup) {
  size_t start = 0;
  while (start <= text.size()) {
    size_t comma = text.find(',', start);
    if (comma == std::string::npos) comma = text.size();
    const std::string token = trimmed(text.substr(start, comma - start));
    if (!token.empty() && !parse_fault(token, setup)) return false;
    start = comma + 1;
  }
  return true;
}

void setup_from_environment(CardImage& card, EmulatorSetup& setup, std::string& state_path) {
  format_card(card);
  if (const char* path = std::getenv("QUILLCREST_EMULATED_CARD")) {
    FILE* file = open_or_stop(path, "rb");
    const size_t got = std::fread(card.bytes.data(), 1, kCardSize, file);
    const bool longer = std::fgetc(file) != EOF;
    std::fclose(file);
    if (got != kCardSize || longer)
      stop(std::string(path) + " is not a " + std::to_string(kCardSize) + "-byte card image");
  }
  setup = EmulatorSetup{};
  if (const char* faults = std::getenv("QUILLCREST_EMULATED_FAULT")) {
    if (!parse_faults(faults, setup)) stop(std::string("bad QUILLCREST_EMULATED_FAULT: ") + faults);
  }
  if (const char* delay = std::getenv("QUILLCREST_EMULATED_DELAY_MS")) {
    if (!parse_number(trimmed(delay), kLargestCount, setup.delay_ms))
      stop(std::string("bad QUILLCREST_EMULATED_DELAY_MS: ") + delay);
  }
  const char* state = std::getenv("QUILLCREST_EMULATED_STATE");
  state_path = state ? state : "";
}

void store_state_card(const std::string& path, const CardImage& card) {
  write_or_stop(open_or_stop(path, "wb"), card.bytes.data(), kCardSize, path);
}

// Only the stored frame is rewritten: a full write would otherwise copy the
// whole card 1024 times.
void store_state_frame(const std::string& path, const CardImage& card, int frame_number) {
  FILE* file = open_or_stop(path, "r+b");
  if (std::fseek(file, long(frame_number * kFrameSize), SEEK_SET) != 0) stop("cannot seek " + path);
  write_or_stop(file, frame(card, frame_number), kFrameSize, path);
}

void store_state_counts(const std::string& path, const EmulatorCounts& counts,
                        const std::vector<int>& written) {
  std::string text = "detects " + std::to_string(counts.detects) + "\nreads " +
                     std::to_string(counts.reads) + "\nwrites " + std::to_string(counts.writes) +
                     "\nbad " + std::to_string(counts.bad) + "\ndrains " +
                     std::to_string(counts.drains) + "\nopens " + std::to_string(counts.opens) +
                     "\nwritten ";
  for (size_t i = 0; i < written.size(); ++i)
    text += (i ? "," : "") + std::to_string(written[i]);
  text += "\nend\n";
  const std::string counts_path = path + ".counts";
  write_or_stop(open_or_stop(counts_path, "wb"), text.data(), text.size(), counts_path);
}
