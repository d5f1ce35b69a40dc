// The pictures of files/picture_file.h through WIC, the Windows Imaging
// Component every Windows since Vista has: its PNG and GIF encoders, and
// the GIF metadata writers for the frame delays, the frames' disposal and
// transparency, and the looping.
#include <windows.h>

#include <objbase.h>
#include <propidl.h>
#include <wincodec.h>

#include <cstring>

#include "files/picture_file.h"

namespace {

const char kCannotEncode[] = "Cannot write the picture !";
const char kNoAnimation[] =
    "Cannot write an animated GIF: this system's imaging component (WIC) does not store frame "
    "delays. Save the icon as a PNG picture instead.";

// A COM pointer released when it goes out of scope.
template <typename T>
struct Com {
  T* p = nullptr;
  Com() = default;
  Com(const Com&) = delete;
  Com& operator=(const Com&) = delete;
  ~Com() {
    if (p) p->Release();
  }
  T* operator->() const { return p; }
  T** out() { return &p; }
};

// COM for this thread for the length of one encoding, unless the thread
// already has it in another mode, which serves as well.
struct ComScope {
  HRESULT result = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  ~ComScope() {
    if (SUCCEEDED(result)) CoUninitialize();
  }
};

WICColor argb(const PictureColour& c) {
  return WICColor(c.alpha) << 24 | WICColor(c.red) << 16 | WICColor(c.green) << 8 | c.blue;
}

// The encoder's stream in memory, copied out once it is committed.
bool copy_stream(IStream* stream, std::vector<uint8_t>& bytes) {
  HGLOBAL memory = nullptr;
  STATSTG status = {};
  if (FAILED(GetHGlobalFromStream(stream, &memory)) || FAILED(stream->Stat(&status, STATFLAG_NONAME)))
    return false;
  const void* data = GlobalLock(memory);
  if (!data) return false;
  const uint8_t* begin = static_cast<const uint8_t*>(data);
  bytes.assign(begin, begin + size_t(status.cbSize.QuadPart));
  GlobalUnlock(memory);
  return true;
}

HRESULT new_frame(IWICBitmapEncoder* encoder, int side, WICPixelFormatGUID wanted,
                  Com<IWICBitmapFrameEncode>& frame) {
  Com<IPropertyBag2> options;
  HRESULT hr = encoder->CreateNewFrame(frame.out(), options.out());
  if (SUCCEEDED(hr)) hr = frame->Initialize(options.p);
  if (SUCCEEDED(hr)) hr = frame->SetSize(UINT(side), UINT(side));
  WICPixelFormatGUID format = wanted;
  if (SUCCEEDED(hr)) hr = frame->SetPixelFormat(&format);
  // The encoder may offer another format than the one asked for.
  if (SUCCEEDED(hr) && !IsEqualGUID(format, wanted)) hr = WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT;
  return hr;
}

HRESULT put_png_frame(IWICBitmapEncoder* encoder, const IconPicture& picture) {
  const int side = picture.side;
  std::vector<BYTE> bgra(size_t(side * side * 4));
  for (size_t i = 0; i < size_t(side * side); ++i) {
    const PictureColour& colour = picture.palette[picture.frames[0][i]];
    BYTE* pixel = bgra.data() + 4 * i;
    pixel[0] = colour.blue;
    pixel[1] = colour.green;
    pixel[2] = colour.red;
    pixel[3] = colour.alpha;
  }
  Com<IWICBitmapFrameEncode> frame;
  HRESULT hr = new_frame(encoder, side, GUID_WICPixelFormat32bppBGRA, frame);
  if (SUCCEEDED(hr)) hr = frame->WritePixels(UINT(side), UINT(side * 4), UINT(bgra.size()), bgra.data());
  if (SUCCEEDED(hr)) hr = frame->Commit();
  return hr;
}

HRESULT set_value(IWICMetadataQueryWriter* writer, const wchar_t* name, PROPVARIANT& value) {
  return writer->SetMetadataByName(name, &value);
}

HRESULT set_bytes(IWICMetadataQueryWriter* writer, const wchar_t* name, const UCHAR* bytes, ULONG size) {
  PROPVARIANT value;
  PropVariantInit(&value);
  value.vt = VT_UI1 | VT_VECTOR;
  value.caub.cElems = size;
  value.caub.pElems = const_cast<UCHAR*>(bytes);
  return set_value(writer, name, value);
}

// The Netscape application extension that makes viewers loop: its data is
// sub-block 1 with a loop count of 0 (for ever), as WIC's schema spells it.
HRESULT put_looping(IWICBitmapEncoder* encoder) {
  static const UCHAR kApplication[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
  static const UCHAR kLoopForEver[] = {3, 1, 0, 0, 0};
  Com<IWICMetadataQueryWriter> writer;
  HRESULT hr = encoder->GetMetadataQueryWriter(writer.out());
  if (SUCCEEDED(hr)) hr = set_bytes(writer.p, L"/appext/Application", kApplication, sizeof kApplication);
  if (SUCCEEDED(hr)) hr = set_bytes(writer.p, L"/appext/Data", kLoopForEver, sizeof kLoopForEver);
  return hr;
}

// Delay, disposal and transparency of one frame's graphic control
// extension. Each frame replaces the one before whole ("restore to
// background"), so a transparent pixel never shows the frame before it.
HRESULT put_frame_control(IWICBitmapFrameEncode* frame, const IconPicture& picture) {
  Com<IWICMetadataQueryWriter> writer;
  HRESULT hr = frame->GetMetadataQueryWriter(writer.out());
  PROPVARIANT value;
  PropVariantInit(&value);
  value.vt = VT_UI2;
  value.uiVal = USHORT(picture.frame_delay_ms / 10);
  if (SUCCEEDED(hr)) hr = set_value(writer.p, L"/grctlext/Delay", value);
  value.vt = VT_UI1;
  value.bVal = 2;
  if (SUCCEEDED(hr)) hr = set_value(writer.p, L"/grctlext/Disposal", value);
  if (picture.transparent_index < 0) return hr;
  value.vt = VT_BOOL;
  value.boolVal = VARIANT_TRUE;
  if (SUCCEEDED(hr)) hr = set_value(writer.p, L"/grctlext/TransparencyFlag", value);
  value.vt = VT_UI1;
  value.bVal = UCHAR(picture.transparent_index);
  if (SUCCEEDED(hr)) hr = set_value(writer.p, L"/grctlext/TransparentColorIndex", value);
  return hr;
}

// `animated` is cleared when the metadata cannot be stored: without it a
// GIF would neither loop nor keep its pace and transparency.
HRESULT put_gif_frames(IWICImagingFactory* factory, IWICBitmapEncoder* encoder, const IconPicture& picture,
                       bool& animated) {
  WICColor colours[kPaletteSize];
  for (int i = 0; i < kPaletteSize; ++i) colours[i] = argb(picture.palette[i]);
  Com<IWICPalette> palette;
  HRESULT hr = factory->CreatePalette(palette.out());
  if (SUCCEEDED(hr)) hr = palette->InitializeCustom(colours, kPaletteSize);
  if (SUCCEEDED(hr)) hr = encoder->SetPalette(palette.p);
  if (FAILED(hr)) return hr;
  if (FAILED(put_looping(encoder))) {
    animated = false;
    return hr;
  }
  for (const std::vector<uint8_t>& pixels : picture.frames) {
    Com<IWICBitmapFrameEncode> frame;
    hr = new_frame(encoder, picture.side, GUID_WICPixelFormat8bppIndexed, frame);
    if (SUCCEEDED(hr)) hr = frame->SetPalette(palette.p);
    if (FAILED(hr)) return hr;
    if (FAILED(put_frame_control(frame.p, picture))) {
      animated = false;
      return hr;
    }
    hr = frame->WritePixels(UINT(picture.side), UINT(picture.side), UINT(pixels.size()),
                            const_cast<BYTE*>(pixels.data()));
    if (SUCCEEDED(hr)) hr = frame->Commit();
    if (FAILED(hr)) return hr;
  }
  return hr;
}

}  // namespace

Failure encode_picture(const IconPicture& picture, PictureFormat format, std::vector<uint8_t>& bytes) {
  bytes.clear();
  ComScope com;
  Com<IWICImagingFactory> factory;
  Com<IStream> stream;
  Com<IWICBitmapEncoder> encoder;
  HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IWICImagingFactory, reinterpret_cast<void**>(factory.out()));
  if (SUCCEEDED(hr)) hr = CreateStreamOnHGlobal(nullptr, TRUE, stream.out());
  if (SUCCEEDED(hr))
    hr = factory->CreateEncoder(format == PictureFormat::png ? GUID_ContainerFormatPng : GUID_ContainerFormatGif,
                                nullptr, encoder.out());
  if (SUCCEEDED(hr)) hr = encoder->Initialize(stream.p, WICBitmapEncoderNoCache);
  bool animated = true;
  if (SUCCEEDED(hr))
    hr = format == PictureFormat::png ? put_png_frame(encoder.p, picture)
                                      : put_gif_frames(factory.p, encoder.p, picture, animated);
  if (!animated) return fail(kNoAnimation, "File Error");
  if (SUCCEEDED(hr)) hr = encoder->Commit();
  if (FAILED(hr) || !copy_stream(stream.p, bytes)) {
    bytes.clear();
    return fail(kCannotEncode, "File Error");
  }
  return std::nullopt;
}
