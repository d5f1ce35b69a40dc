#include "cli/listing.h"

#include <cstdio>

#include "card/slot_text.h"
#include "card/undelete.h"
#include "cli/text_utf8.h"

namespace {

const char* state_name(int status) {
  if (status > 0) return "save";
  if (status == kSlotFurtherBlock) return "more";
  if (status == kSlotEmpty) return "free";
  return "corrupted";
}

// What the window shows of a save in slot `slot` (from 0).
struct SaveTexts {
  std::string info, name, title;
};

SaveTexts save_texts(const CardImage& card, const SlotTable& slots, int slot) {
  return SaveTexts{latin1_to_utf8(info_line(card, slot, slots.status[slot])), save_name(card, slot),
                   shift_jis_to_utf8(title_bytes(card, slot))};
}

}  // namespace

std::string save_name(const CardImage& card, int slot) {
  return latin1_to_utf8(name_caption(card, slot));
}

// A tab or a line end from the card would split a line.
std::string line_field(const std::string& utf8) {
  std::string out;
  for (unsigned char c : utf8) {
    if (c < 0x20 || c == 0x7F)
      out += "\xEF\xBF\xBD";
    else
      out += char(c);
  }
  return out;
}

std::string slot_lines(const CardImage& card, const SlotTable& slots) {
  std::string out;
  for (int slot = 0; slot < kSlotCount; ++slot) {
    const int status = slots.status[slot];
    out += std::to_string(slot + 1) + "\t" + state_name(status);
    if (status > 0) {
      const SaveTexts texts = save_texts(card, slots, slot);
      out += "\t" + std::to_string(status) + "\t" + line_field(texts.info) + "\t" + line_field(texts.name) + "\t" +
             line_field(texts.title);
    } else if (status == kSlotFurtherBlock) {
      out += "\tof " + std::to_string(slots.owner[slot] + 1);
    }
    out += "\n";
  }
  return out + std::to_string(slots.used) + "/15\n";
}

std::string slot_json(const CardImage& card, const SlotTable& slots, const ListedFile* file) {
  std::string out = "{\"used\": " + std::to_string(slots.used);
  if (file) out += ", \"format\": " + json_string(file->format);
  out += ", \"slots\": [\n";
  for (int slot = 0; slot < kSlotCount; ++slot) {
    const int status = slots.status[slot];
    out += "  {\"slot\": " + std::to_string(slot + 1) + ", \"state\": \"" + state_name(status) + "\"";
    if (status > 0) {
      const SaveTexts texts = save_texts(card, slots, slot);
      out += ", \"blocks\": " + std::to_string(status) + ", \"name\": " + json_string(texts.name) +
             ", \"info\": " + json_string(texts.info) + ", \"title\": " + json_string(texts.title);
      if (file && !file->comments[slot].empty())
        out += ", \"comment\": " + json_string(comment_to_utf8(file->comments[slot]));
    } else if (status == kSlotFurtherBlock) {
      out += ", \"first\": " + std::to_string(slots.owner[slot] + 1);
    }
    out += slot + 1 < kSlotCount ? "},\n" : "}\n";
  }
  return out + "]}\n";
}

namespace {

std::string slot_list_json(const std::vector<int>& slots) {
  std::string out = "[";
  for (size_t i = 0; i < slots.size(); ++i) out += (i ? ", " : "") + std::to_string(slots[i] + 1);
  return out + "]";
}

std::string deleted_title(const CardImage& card, int slot) {
  return shift_jis_to_utf8(title_bytes(card, slot));
}

}  // namespace

std::string deleted_lines(const CardImage& card) {
  std::string out;
  int restorable = 0;
  const std::vector<DeletedSave> saves = deleted_saves(card);
  for (const DeletedSave& save : saves) {
    const std::string verdict =
        !save.why_not.empty() ? "cannot be restored: " + save.why_not
        : save.links_rebuilt  ? "can be restored, its cleared links rebuilt"
                              : "can be restored";
    restorable += save.why_not.empty();
    out += std::to_string(save.first + 1);
    if (save.has_first)
      out += "\tdeleted\t" + std::to_string(save.slots.size()) + "\t" +
             line_field(save_name(card, save.first)) + "\t" +
             line_field(deleted_title(card, save.first)) + "\t" + verdict + "\n";
    else
      out += "\tdeleted block\t" + verdict + "\n";
  }
  return out + std::to_string(restorable) + " of " + std::to_string(saves.size()) +
         " can be restored\n";
}

std::string deleted_json(const CardImage& card) {
  const std::vector<DeletedSave> saves = deleted_saves(card);
  std::string out = "{\"deleted\": [";
  for (size_t i = 0; i < saves.size(); ++i) {
    const DeletedSave& save = saves[i];
    out += std::string(i ? ",\n" : "\n") + "  {\"slot\": " + std::to_string(save.first + 1) +
           ", \"first\": " + (save.has_first ? "true" : "false") +
           ", \"slots\": " + slot_list_json(save.slots);
    if (save.has_first)
      out += ", \"name\": " + json_string(save_name(card, save.first)) +
             ", \"title\": " + json_string(deleted_title(card, save.first));
    out += std::string(", \"restorable\": ") + (save.why_not.empty() ? "true" : "false");
    if (save.links_rebuilt) out += ", \"links_rebuilt\": true";
    if (!save.why_not.empty()) out += ", \"why\": " + json_string(save.why_not);
    out += "}";
  }
  return out + (saves.empty() ? "]}\n" : "\n]}\n");
}

namespace {

const char kWrongPsvSignature[] = "wrong: a PS3 says the data is corrupted";

}  // namespace

std::string save_file_lines(const SaveFileSummary& summary) {
  std::string name = line_field(latin1_to_utf8(summary.name));
  if (summary.name.empty()) name = "(none: import asks for --name)";
  if (summary.named_by_file_name) name += "\t(from the file name)";
  std::string out = std::string("format\t") + save_format_name(summary.format) + "\nname\t" + name +
                    "\ntitle\t" + line_field(shift_jis_to_utf8(summary.title)) +
                    "\nblocks\t" + std::to_string(summary.blocks) + "\nregion\t" + summary.region +
                    "\ninfo\t" + line_field(latin1_to_utf8(summary.info)) + "\n";
  if (summary.signed_format)
    out += std::string("signature\t") + (summary.signature_holds ? "valid" : kWrongPsvSignature) + "\n";
  return out;
}

std::string save_file_json(const SaveFileSummary& summary) {
  std::string out = std::string("{\"format\": \"") + save_format_name(summary.format) +
                    "\", \"name\": " + json_string(latin1_to_utf8(summary.name)) +
                    ", \"name_from_file_name\": " + (summary.named_by_file_name ? "true" : "false") +
                    ", \"title\": " + json_string(shift_jis_to_utf8(summary.title)) +
                    ", \"blocks\": " + std::to_string(summary.blocks) +
                    ", \"region\": " + json_string(summary.region) +
                    ", \"info\": " + json_string(latin1_to_utf8(summary.info));
  if (summary.signed_format)
    out += std::string(", \"signature\": \"") + (summary.signature_holds ? "valid" : "wrong") + "\"";
  return out + "}\n";
}
