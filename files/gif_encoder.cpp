// The animated GIF of an icon through giflib, on every system.
#include "files/gif_encoder.h"

#include <gif_lib.h>

namespace {

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

}  // namespace

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

