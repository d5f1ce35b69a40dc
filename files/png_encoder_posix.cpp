// The PNG pictures of files/picture_file.h through libpng.
#include <png.h>

#include <csetjmp>

#include "files/png_encoder.h"

namespace {

void append_bytes(png_structp png, png_bytep data, png_size_t size) {
  auto* bytes = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  bytes->insert(bytes->end(), data, data + size);
}

void flush_nothing(png_structp) {}

}  // namespace

// libpng reports an error by a long jump back to the setjmp below: nothing
// with a destructor is made between the two, so nothing is left undone.
bool encode_png(const IconPicture& picture, std::vector<uint8_t>& bytes) {
  const int side = picture.side;
  std::vector<uint8_t> rgba = first_frame_rgba(picture);
  std::vector<png_bytep> rows(static_cast<size_t>(side));
  for (int y = 0; y < side; ++y) rows[size_t(y)] = rgba.data() + size_t(y * side * 4);

  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, &bytes, append_bytes, flush_nothing);
  png_set_IHDR(png, info, png_uint_32(side), png_uint_32(side), 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_rows(png, info, rows.data());
  png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

