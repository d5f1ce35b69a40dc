#include "ui/icon_bitmap.h"

#include <cstring>

HBITMAP create_icon_bitmap(const IconImage& image) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = kIconSide;
  info.bmiHeader.biHeight = -kIconSide;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* pixels = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
  if (!bitmap || !pixels) {
    if (bitmap) DeleteObject(bitmap);
    return nullptr;
  }
  // 96-byte rows are already DWORD aligned, so the layouts match.
  std::memcpy(pixels, image.data(), image.size());
  return bitmap;
}

void destroy_bitmap(HBITMAP& bitmap) {
  if (bitmap) DeleteObject(bitmap);
  bitmap = nullptr;
}
