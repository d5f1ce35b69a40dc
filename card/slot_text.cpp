#include "card/slot_text.h"

#include <cstdio>
#include <cstring>

const char* region_name(char letter) {
  if (letter == 'E') return "Europe";
  if (letter == 'A') return "America";
  return "Japan";
}

std::string blocks_text(int blocks) {
  return std::to_string(blocks) + (blocks == 1 ? " block" : " blocks");
}

std::string info_line(const CardImage& card, int slot, int blocks) {
  return info_line(directory_frame(card, slot), blocks);
}

std::string info_line(const uint8_t* directory, int blocks) {
  char name[kSaveNameMax + 1] = {};
  std::memcpy(name, directory + kDirName, kSaveNameMax);
  char line[kInfoLineMax + 1];
  std::snprintf(line, sizeof line, "%d Block%s, %s, %c%c%c%c-%c%c%c%c%c :%s%s", blocks,
                blocks <= 1 ? "" : "s", region_name(name[1]), name[2], name[3], name[4], name[5],
                name[7], name[8], name[9], name[10], name[11],
                name[6] == 'P' ? " PocketStation : " : " ", name + 12);
  return std::string(line);  // a zero byte written by %c ends the text, as on screen
}

std::string name_caption(const CardImage& card, int slot) {
  return DirectoryFrame{directory_frame(card, slot)}.name();
}

std::string title_bytes(const CardImage& card, int slot) { return title_bytes(data_block(card, slot)); }

std::string title_bytes(const uint8_t* save_header) {
  const char* title = reinterpret_cast<const char*>(save_header + kHeaderTitle);
  const void* end = std::memchr(title, 0, kTitleSize);
  return std::string(title, end ? static_cast<const char*>(end) - title : kTitleSize);
}
