#include "cli/card_files.h"

#include <cstdio>

#include "cli/commands.h"
#include "files/card_file.h"

std::optional<int> parse_slot(const std::string& text) {
  if (text.empty() || text.size() > 2 || text.find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  const int slot = std::stoi(text);
  if (slot < 1 || slot > kSlotCount) return std::nullopt;
  return slot - 1;
}

Failure read_card_file_telling(const std::string& path, CardImage& card, CardFileInfo& file) {
  bool opened = false;
  if (Failure failure = read_card_file(path, card, opened, file)) return failure;
  if (!file.notice.empty()) std::fprintf(stderr, "%s\n", file.notice.c_str());
  return std::nullopt;
}

Failure open_card_file(const std::string& path, bool allow_corrupted, OpenCard& open,
                       bool takes_allow_corrupted) {
  if (Failure failure = read_card_file_telling(path, open.card, open.file)) return failure;
  return analyse_open_card(path, allow_corrupted, open, takes_allow_corrupted);
}

namespace {

// "its header checksum is wrong (0x42, where 0x0E belongs)"
std::string header_checksum_text(const CardImage& card) {
  char text[80];
  std::snprintf(text, sizeof text, "its header checksum is wrong (0x%02X, where 0x%02X belongs)",
                frame(card, 0)[kChecksumByte], frame_checksum(frame(card, 0)));
  return text;
}

}  // namespace

Failure analyse_open_card(const std::string& path, bool allow_corrupted, OpenCard& open,
                          bool takes_allow_corrupted) {
  if (!header_checksum_wrong(open.card)) return analyse_card(open.card, open.slots, allow_corrupted);
  if (!allow_corrupted) {
    const std::string text = header_checksum_text(open.card);
    return fail(std::string(kWrongCardFormat) + " The card begins with \"MC\", but " + text + ": " +
                (takes_allow_corrupted ? "--allow-corrupted opens it anyway."
                                       : "list, export, convert and copy from it open it anyway "
                                         "with --allow-corrupted."));
  }
  std::fprintf(stderr,
               "Warning: %s: %s; opened as it is, since --allow-corrupted is given (the window "
               "refuses this card).\n",
               path.c_str(), header_checksum_text(open.card).c_str());
  return analyse_card_despite_header_checksum(open.card, open.slots, allow_corrupted);
}

std::optional<CardFormat> output_card_format(const Arguments& arguments, const std::string& out,
                                             const std::string& in_place, const CardFileInfo& file) {
  if (const std::optional<std::string> named = arguments.value("--format"))
    return writable_card_format(*named);
  if (out == in_place) return file.format;
  return card_format_for_path(out);
}

const char* card_format_text(CardFormat format) {
  switch (format) {
    case CardFormat::raw: return "raw";
    case CardFormat::gme: return "GME";
    case CardFormat::vgs: return "VGS";
    case CardFormat::vmp: return "VMP";
    case CardFormat::magazine: return "magazine";
  }
  return "raw";
}

void warn_if_comments_lost(const CardImage& card, const CardFileInfo& file, CardFormat format) {
  if (comments_lost(card, file, format)) std::fprintf(stderr, "Warning: %s\n", kCommentsNotKept);
}

Failure write_changed_card(const Arguments& arguments, const std::string& card_path, OpenCard& open,
                           std::string& out) {
  const CardFileInfo had = open.file;
  out = arguments.value("--output").value_or(card_path);
  // In place a file keeps its format: a VMP stays signed, a GME keeps its
  // comments, a magazine card its header.
  open.file.format = output_card_format(arguments, out, card_path, open.file).value_or(CardFormat::raw);
  warn_if_comments_lost(open.card, had, open.file.format);
  return write_card_file(out, open.card, open.file);
}
