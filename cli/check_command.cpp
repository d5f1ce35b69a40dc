// "check": every fault of a card, read-only. Exit status 0 when it is
// sound, 1 when it is not (or cannot be read).
#include <cstdio>
#include <memory>
#include <string>

#include "card/card_check.h"
#include "cli/card_files.h"
#include "cli/commands.h"
#include "cli/listing.h"
#include "files/card_file.h"
#include "files/card_file_check.h"

namespace {

std::string faults_text(const std::vector<CardFault>& faults) {
  std::string out;
  for (const CardFault& fault : faults)
    out += fault.name + (fault.frames.empty() ? "" : " (" + frames_in_words(fault.frames) + ")") +
           ": " + fault.meaning + "\n";
  if (faults.empty()) return "The card is sound.\n";
  return out + std::to_string(faults.size()) + (faults.size() == 1 ? " fault" : " faults") +
         " found.\n";
}

std::string faults_json(const std::vector<CardFault>& faults) {
  std::string out =
      std::string("{\"sound\": ") + (faults.empty() ? "true" : "false") + ", \"faults\": [";
  for (size_t i = 0; i < faults.size(); ++i) {
    out += std::string(i ? ",\n" : "\n") + "  {\"fault\": " + json_string(faults[i].name) +
           ", \"frames\": [";
    for (size_t k = 0; k < faults[i].frames.size(); ++k)
      out += (k ? ", " : "") + std::to_string(faults[i].frames[k]);
    out += "], \"meaning\": " + json_string(faults[i].meaning) + "}";
  }
  return out + (faults.empty() ? "]}\n" : "\n]}\n");
}

}  // namespace

int check_command(const Arguments& arguments) {
  const bool adaptor = arguments.has("--adaptor");
  if (adaptor == !arguments.operands.empty())
    return usage_error("check takes either a CARD or --adaptor");
  auto card = std::make_unique<CardImage>();
  CardFileInfo file;
  if (adaptor) {
    if (int wrong = choose_reader(arguments)) return wrong;
    if (Failure failure = read_from_adaptor(false, *card)) return report_failure(failure);
  } else {
    // The file as it is: no analysis stands between it and the check.
    const std::string& path = arguments.operands[0];
    bool opened = false;
    if (Failure failure = read_card_file(path, *card, opened, file)) return report_failure(failure, path);
    // A wrong signature is one of the faults below.
    if (!file.notice.empty() && !file.signature_wrong) std::fprintf(stderr, "%s\n", file.notice.c_str());
  }
  const std::vector<CardFault> faults = check_card_file(*card, file);
  const std::string report = arguments.has("--json") ? faults_json(faults) : faults_text(faults);
  std::fputs(report.c_str(), stdout);
  return faults.empty() ? kDone : kFailed;
}
