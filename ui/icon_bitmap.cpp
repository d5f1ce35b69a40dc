#include "ui/icon_bitmap.h"

#include <cstring>

HBITMAP create_icon_bitmap(const IconImage& image, int pixel) {
  const int side = icon_bitmap_side(pixel);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = side;
  info.bmiHeader.biHeight = -side;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* pixels = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
  if (!bitmap || !pixels) {
    if (bitmap) DeleteObject(bitmap);
    return nullptr;
  }
  if (side == kIconSide) {
    // 96-byte rows are already DWORD aligned, so the layouts match.
    std::memcpy(pixels, image.data(), image.size());
    return bitmap;
  }
  // The decoded image holds each icon pixel twice in each direction: a
  // larger square of it is the same colour, never a blend.
  const size_t row_bytes = (size_t(side) * 3 + 3) & ~size_t(3);
  auto* out = static_cast<uint8_t*>(pixels);
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x)
      std::memcpy(out + size_t(y) * row_bytes + size_t(x) * 3,
                  image.data() + size_t(2 * (y / pixel)) * kIconRowBytes + size_t(2 * (x / pixel)) * 3, 3);
  return bitmap;
}

void destroy_bitmap(HBITMAP& bitmap) {
  if (bitmap) DeleteObject(bitmap);
  bitmap = nullptr;
}
