#include "files/picture_file.h"

#include "files/file_io.h"
#include "files/gif_encoder.h"
#include "files/png_encoder.h"

namespace {
const char kCannotEncode[] = "Cannot write the picture !";
}  // namespace

std::optional<PictureFormat> picture_format_for_path(const std::string& path) {
  const std::string extension = lowercase_extension(path);
  if (extension == ".png") return PictureFormat::png;
  if (extension == ".gif") return PictureFormat::gif;
  return std::nullopt;
}

Failure encode_picture(const IconPicture& picture, PictureFormat format, std::vector<uint8_t>& bytes) {
  bytes.clear();
  const bool encoded = format == PictureFormat::png ? encode_png(picture, bytes) : encode_gif(picture, bytes);
  if (encoded) return std::nullopt;
  bytes.clear();
  return fail(kCannotEncode, "File Error");
}

Failure write_icon_picture(const CardImage& card, const SlotTable& slots, int slot, int side,
                           PictureFormat format, const std::string& path) {
  IconPicture picture;
  std::vector<uint8_t> bytes;
  if (Failure failure = make_icon_picture(card, slots, slot, side, picture)) return failure;
  if (Failure failure = encode_picture(picture, format, bytes)) return failure;
  return write_file_replacing(path, bytes.data(), bytes.size());
}
