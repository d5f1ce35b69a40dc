#include "files/picture_file.h"

#include "files/file_io.h"

std::optional<PictureFormat> picture_format_for_path(const std::string& path) {
  const std::string extension = lowercase_extension(path);
  if (extension == ".png") return PictureFormat::png;
  if (extension == ".gif") return PictureFormat::gif;
  return std::nullopt;
}

Failure write_icon_picture(const CardImage& card, const SlotTable& slots, int slot, int side,
                           PictureFormat format, const std::string& path) {
  IconPicture picture;
  std::vector<uint8_t> bytes;
  if (Failure failure = make_icon_picture(card, slots, slot, side, picture)) return failure;
  if (Failure failure = encode_picture(picture, format, bytes)) return failure;
  return write_file_replacing(path, bytes.data(), bytes.size());
}
