// The pictures of files/picture_file.h through libpng and giflib.
#include <gif_lib.h>
#include <png.h>

#include <csetjmp>

#include "files/picture_file.h"

namespace {

const char kCannotEncode[] = "Cannot write the picture !";

void append_bytes(png_structp png, png_bytep data, png_size_t size) {
  auto* bytes = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  bytes->insert(bytes->end(), data, data + size);
}

void flush_nothing(png_structp) {}

// libpng reports an error by a long jump back to the setjmp below: nothing
// with a destructor is made between the two, so nothing is left undone.
bool encode_png(const IconPicture& picture, std::vector<uint8_t>& bytes) {
  const int side = picture.side;
  std::vector<uint8_t> rgba(size_t(side * side * 4));
  for (size_t i = 0; i < size_t(side * side); ++i) {
    const PictureColour& colour = picture.palette[picture.frames[0][i]];
    uint8_t* pixel = rgba.data() + 4 * i;
    pixel[0] = colour.red;
    pixel[1] = colour.green;
    pixel[2] = colour.blue;
    pixel[3] = colour.alpha;
  }
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

int append_gif_bytes(GifFileType* gif, const GifByteType* data, int size) {
  auto* bytes = static_cast<std::vector<uint8_t>*>(gif->UserData);
  bytes->insert(bytes->end(), data, data + size);
  return size;
}

// The Netscape application extension that makes viewers loop: sub-block 1,
// a loop count of 0 (for ever).
bool put_looping(GifFileType* gif) {
  static const GifByteType kApplication[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
  static const GifByteType kLoopForEver[] = {1, 0, 0};
  return EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_OK &&
         EGifPutExtensionBlock(gif, sizeof kApplication, kApplication) == GIF_OK &&
         EGifPutExtensionBlock(gif, sizeof kLoopForEver, kLoopForEver) == GIF_OK &&
         EGifPutExtensionTrailer(gif) == GIF_OK;
}

// Each frame replaces the one before whole ("restore to background"), so a
// transparent pixel never shows the frame before it.
bool put_frame(GifFileType* gif, const IconPicture& picture, const std::vector<uint8_t>& pixels) {
  GraphicsControlBlock control = {};
  control.DisposalMode = DISPOSE_BACKGROUND;
  control.UserInputFlag = false;
  control.DelayTime = picture.frame_delay_ms / 10;
  control.TransparentColor = picture.transparent_index >= 0 ? picture.transparent_index : NO_TRANSPARENT_COLOR;
  GifByteType extension[4];
  EGifGCBToExtension(&control, extension);
  if (EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, sizeof extension, extension) != GIF_OK ||
      EGifPutImageDesc(gif, 0, 0, picture.side, picture.side, false, nullptr) != GIF_OK)
    return false;
  std::vector<GifPixelType> row(size_t(picture.side));
  for (int y = 0; y < picture.side; ++y) {
    row.assign(pixels.begin() + y * picture.side, pixels.begin() + (y + 1) * picture.side);
    if (EGifPutLine(gif, row.data(), picture.side) != GIF_OK) return false;
  }
  return true;
}

bool encode_gif(const IconPicture& picture, std::vector<uint8_t>& bytes) {
  GifColorType colours[kPaletteSize];
  for (int i = 0; i < kPaletteSize; ++i)
    colours[i] = GifColorType{picture.palette[i].red, picture.palette[i].green, picture.palette[i].blue};
  ColorMapObject* map = GifMakeMapObject(kPaletteSize, colours);
  int error = 0;
  GifFileType* gif = map ? EGifOpen(&bytes, append_gif_bytes, &error) : nullptr;
  if (!gif) {
    GifFreeMapObject(map);
    return false;
  }
  EGifSetGifVersion(gif, true);
  bool written = EGifPutScreenDesc(gif, picture.side, picture.side, 8, 0, map) == GIF_OK && put_looping(gif);
  for (const std::vector<uint8_t>& frame : picture.frames) written = written && put_frame(gif, picture, frame);
  written = EGifCloseFile(gif, &error) == GIF_OK && written;
  GifFreeMapObject(map);
  return written;
}

}  // namespace

Failure encode_picture(const IconPicture& picture, PictureFormat format, std::vector<uint8_t>& bytes) {
  bytes.clear();
  const bool encoded = format == PictureFormat::png ? encode_png(picture, bytes) : encode_gif(picture, bytes);
  if (encoded) return std::nullopt;
  bytes.clear();
  return fail(kCannotEncode, "File Error");
}
