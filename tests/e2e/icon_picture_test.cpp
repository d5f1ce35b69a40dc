// "Save Icon As...": the picture the chosen file type asks for, decoded by
// WIC's decoders in this process.
#include <gtest/gtest.h>

#include <wincodec.h>

#include <cstdlib>
#include <vector>

#include "resources/resource_ids.h"
#include "tests/e2e/saves_fixture.h"

namespace {

struct Decoded {
  UINT frames = 0, width = 0, height = 0;
  std::vector<BYTE> bgra;  // of the first frame
};

Decoded decode(const std::string& path) {
  Decoded decoded;
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  IWICImagingFactory* factory = nullptr;
  IWICBitmapDecoder* decoder = nullptr;
  IWICBitmapFrameDecode* frame = nullptr;
  IWICBitmapSource* converted = nullptr;
  const std::wstring wide(path.begin(), path.end());
  if (SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                 reinterpret_cast<void**>(&factory))) &&
      SUCCEEDED(factory->CreateDecoderFromFilename(wide.c_str(), nullptr, GENERIC_READ,
                                                   WICDecodeMetadataCacheOnDemand, &decoder)) &&
      SUCCEEDED(decoder->GetFrameCount(&decoded.frames)) && SUCCEEDED(decoder->GetFrame(0, &frame)) &&
      SUCCEEDED(frame->GetSize(&decoded.width, &decoded.height)) &&
      SUCCEEDED(WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, frame, &converted))) {
    decoded.bgra.resize(size_t(decoded.width) * decoded.height * 4);
    if (FAILED(converted->CopyPixels(nullptr, decoded.width * 4, UINT(decoded.bgra.size()), decoded.bgra.data())))
      decoded.bgra.clear();
  }
  for (IUnknown* object : std::vector<IUnknown*>{converted, frame, decoder, factory})
    if (object) object->Release();
  CoUninitialize();
  return decoded;
}

class IconPictures : public Saves {
 protected:
  // From the slot's menu.
  void save_icon_as(int slot, int file_type, const std::string& name) {
    program.choose_slot_menu_item(slot, kSaveIconAs);
    program.choose_file_type(file_type);
    program.choose_file(folder.path(name));
  }
  bool written(const std::string& name) {
    return wait_until([&] { return !read_file(folder.path(name)).empty(); });
  }
};

TEST_F(IconPictures, SaveIconAsWritesWhatTheFileTypeOrTheTypedExtensionAsks) {
  open(sample_card(), "6/15");
  // RACE, frames red, green, blue: a further block stands for its save.
  save_icon_as(4, 2, "race");  // PNG, 64 x 64
  ASSERT_TRUE(written("race.png"));
  Decoded png = decode(folder.path("race.png"));
  EXPECT_EQ(png.frames, 1u);
  ASSERT_EQ(png.width, 64u);
  ASSERT_EQ(png.bgra.size(), 64u * 64 * 4);
  for (size_t i = 0; i < png.bgra.size(); i += 4)
    ASSERT_EQ((Rgb{png.bgra[i + 2], png.bgra[i + 1], png.bgra[i]}), kRed) << i / 4;

  save_icon_as(3, 7, "large.png");  // GIF, 128 x 128, but the name says PNG
  ASSERT_TRUE(written("large.png"));
  png = decode(folder.path("large.png"));
  EXPECT_EQ(png.frames, 1u);
  EXPECT_EQ(png.width, 128u);

  save_icon_as(3, 5, "race");  // GIF, 32 x 32
  ASSERT_TRUE(written("race.gif"));
  const Decoded gif = decode(folder.path("race.gif"));
  EXPECT_EQ(gif.frames, 3u);
  EXPECT_EQ(gif.width, 32u);
  // window_gif_test.sh decodes it with ImageMagick, frame by frame.
  if (const char* keep = std::getenv("QUILLCREST_TEST_KEEP_PICTURES")) {
    EXPECT_TRUE(CopyFileA(folder.path("race.gif").c_str(), (std::string(keep) + "\\race.gif").c_str(), FALSE));
  }

  // Greyed in an empty slot's menu; the command itself refuses it too.
  select(10, "Empty Block");
  PostMessageA(program.window(), WM_COMMAND, IDM_SAVE_ICON_AS, 0);
  program.expect_box("Cannot Export", "Empty Block !");
}

}  // namespace
