#include "files/card_file.h"

#include <vector>

Failure read_card_file(const std::string& path, CardImage& card, bool& opened, CardFileInfo& info) {
  FilePrefix file;
  Failure failure = read_file_prefix(path, kLargestCardFile, file);
  opened = !failure;
  if (failure) return failure;
  return decode_card_file(file, card, info);
}

Failure read_card_file(const std::string& path, CardImage& card, bool& opened) {
  CardFileInfo info;
  return read_card_file(path, card, opened, info);
}

Failure take_card_image(const FilePrefix& file, CardImage& card) {
  CardFileInfo info;
  return decode_card_file(file, card, info);
}

Failure write_card_file(const std::string& path, const CardImage& card, const CardFileInfo& info) {
  std::vector<uint8_t> bytes;
  if (Failure failure = encode_card_file(card, info, bytes)) return failure;
  return write_file_replacing(path, bytes.data(), bytes.size());
}

Failure write_card_file(const std::string& path, const CardImage& card) {
  return write_card_file(path, card, CardFileInfo{});
}
