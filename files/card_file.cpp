#include "files/card_file.h"

#include <algorithm>

Failure read_card_file(const std::string& path, CardImage& card, bool& opened) {
  FilePrefix file;
  Failure failure = read_file_prefix(path, kGmeFileSize, file);
  opened = !failure;
  if (failure) return failure;
  return take_card_image(file, card);
}

Failure take_card_image(const FilePrefix& file, CardImage& card) {
  const size_t start = file.length == kGmeFileSize ? kGmeHeaderSize : 0;
  if (!file.whole || file.bytes.size() < start + kCardSize)
    return fail("Wrong file size !", "File Error");
  std::copy_n(file.bytes.begin() + start, kCardSize, card.bytes.begin());
  return std::nullopt;
}

Failure write_card_file(const std::string& path, const CardImage& card) {
  return write_file_replacing(path, card.bytes.data(), card.bytes.size());
}
