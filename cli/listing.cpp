#include "cli/listing.h"

#include <cstdio>

#include "card/slot_text.h"
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
  return SaveTexts{latin1_to_utf8(info_line(card, slot, slots.status[slot])),
                   latin1_to_utf8(name_caption(card, slot)),
                   shift_jis_to_utf8(title_bytes(card, slot))};
}

// A field of a line: a tab or a line end from the card would split it, so
// control characters show as U+FFFD.
std::string field(const std::string& utf8) {
  std::string out;
  for (unsigned char c : utf8) {
    if (c < 0x20 || c == 0x7F)
      out += "\xEF\xBF\xBD";
    else
      out += char(c);
  }
  return out;
}

std::string json_string(const std::string& utf8) {
  std::string out = "\"";
  for (unsigned char c : utf8) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += char(c);
    } else if (c < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      out += escape;
    } else {
      out += char(c);
    }
  }
  return out + "\"";
}

}  // namespace

std::string slot_lines(const CardImage& card, const SlotTable& slots) {
  std::string out;
  for (int slot = 0; slot < kSlotCount; ++slot) {
    const int status = slots.status[slot];
    out += std::to_string(slot + 1) + "\t" + state_name(status);
    if (status > 0) {
      const SaveTexts texts = save_texts(card, slots, slot);
      out += "\t" + std::to_string(status) + "\t" + field(texts.info) + "\t" + field(texts.name) + "\t" +
             field(texts.title);
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
