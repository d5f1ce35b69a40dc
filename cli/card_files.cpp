#include "cli/card_files.h"

#include <cstdio>

#include "card/slot_text.h"
#include "cli/commands.h"
#include "cli/text_utf8.h"
#include "files/card_file.h"

std::optional<int> parse_slot(const std::string& text) {
  if (text.empty() || text.size() > 2 || text.find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  const int slot = std::stoi(text);
  if (slot < 1 || slot > kSlotCount) return std::nullopt;
  return slot - 1;
}

std::string blocks_text(int blocks) {
  return std::to_string(blocks) + (blocks == 1 ? " block" : " blocks");
}

std::string save_name(const CardImage& card, int slot) {
  return latin1_to_utf8(name_caption(card, slot));
}

int first_free_slot(const CardImage& card) {
  for (int slot = 0; slot < kSlotCount; ++slot)
    if (DirectoryFrame{directory_frame(card, slot)}.is_free()) return slot;
  return -1;
}

Failure open_card(const std::string& path, bool allow_corrupted, CardImage& card, SlotTable& slots,
                  CardFileInfo& file) {
  bool opened = false;
  if (Failure failure = read_card_file(path, card, opened, file)) return failure;
  if (!file.notice.empty()) std::fprintf(stderr, "%s\n", file.notice.c_str());
  return analyse_card(card, slots, allow_corrupted);
}

Failure open_card(const std::string& path, bool allow_corrupted, CardImage& card, SlotTable& slots) {
  CardFileInfo file;
  return open_card(path, allow_corrupted, card, slots, file);
}

Failure open_card_file(const std::string& path, bool allow_corrupted, OpenCard& open) {
  return open_card(path, allow_corrupted, open.card, open.slots, open.file);
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

Failure write_changed_card(const Arguments& arguments, const std::string& card_path, OpenCard& open,
                           std::string& out) {
  out = arguments.value("--output").value_or(card_path);
  // In place a file keeps its format: a VMP stays signed, a GME keeps its
  // comments, a magazine card its header.
  open.file.format = output_card_format(arguments, out, card_path, open.file).value_or(CardFormat::raw);
  return write_card_file(out, open.card, open.file);
}
