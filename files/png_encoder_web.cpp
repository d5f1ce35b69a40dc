// The PNG pictures of files/picture_file.h in the web page, through the
// browser's own encoder: a canvas's PNG blob, which answers with a promise
// the call waits for through Asyncify.
#include <emscripten.h>

#include <cstdlib>

#include "files/png_encoder.h"

namespace {

// The PNG of `side` x `side` RGBA pixels, in memory the page allocated:
// its address in `out`, its length returned; 0 when the browser failed.
EM_ASYNC_JS(int, web_png, (const uint8_t* rgba, int side, uint8_t** out), {
  try {
    const pixels = new ImageData(new Uint8ClampedArray(HEAPU8.slice(rgba, rgba + side * side * 4)), side, side);
    let blob;
    if (typeof OffscreenCanvas != "undefined") {
      const canvas = new OffscreenCanvas(side, side);
      canvas.getContext("2d").putImageData(pixels, 0, 0);
      blob = await canvas.convertToBlob({type: "image/png"});
    } else {
      const canvas = document.createElement("canvas");
      canvas.width = canvas.height = side;
      canvas.getContext("2d").putImageData(pixels, 0, 0);
      blob = await new Promise(resolve => canvas.toBlob(resolve, "image/png"));
    }
    const bytes = new Uint8Array(await blob.arrayBuffer());
    const copy = _malloc(bytes.length);
    HEAPU8.set(bytes, copy);
    HEAP32[out >> 2] = copy;
    return bytes.length;
  } catch (e) {
    return 0;
  }
});

}  // namespace

bool encode_png(const IconPicture& picture, std::vector<uint8_t>& bytes) {
  const int side = picture.side;
  const std::vector<uint8_t> rgba = first_frame_rgba(picture);
  uint8_t* png = nullptr;
  const int length = web_png(rgba.data(), side, &png);
  if (length <= 0 || !png) return false;
  bytes.assign(png, png + length);
  std::free(png);
  return true;
}

