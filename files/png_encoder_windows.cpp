// The PNG pictures of files/picture_file.h through WIC, the Windows Imaging
// Component every Windows since Vista has. (The animated GIFs come from
// giflib, linked in, as on Linux: WIC's GIF encoder needs metadata writers
// for the frame delays, the disposal and the looping, which not every
// system has; Wine's has none.)
#include <windows.h>

#include <objbase.h>
#include <wincodec.h>

#include <utility>

#include "files/png_encoder.h"

namespace {

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
  std::vector<BYTE> bgra = first_frame_rgba(picture);
  for (size_t i = 0; i < bgra.size(); i += 4) std::swap(bgra[i], bgra[i + 2]);  // WIC's order
  Com<IWICBitmapFrameEncode> frame;
  HRESULT hr = new_frame(encoder, side, GUID_WICPixelFormat32bppBGRA, frame);
  if (SUCCEEDED(hr)) hr = frame->WritePixels(UINT(side), UINT(side * 4), UINT(bgra.size()), bgra.data());
  if (SUCCEEDED(hr)) hr = frame->Commit();
  return hr;
}

}  // namespace

bool encode_png(const IconPicture& picture, std::vector<uint8_t>& bytes) {
  ComScope com;
  Com<IWICImagingFactory> factory;
  Com<IStream> stream;
  Com<IWICBitmapEncoder> encoder;
  HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IWICImagingFactory, reinterpret_cast<void**>(factory.out()));
  if (SUCCEEDED(hr)) hr = CreateStreamOnHGlobal(nullptr, TRUE, stream.out());
  if (SUCCEEDED(hr)) hr = factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.out());
  if (SUCCEEDED(hr)) hr = encoder->Initialize(stream.p, WICBitmapEncoderNoCache);
  if (SUCCEEDED(hr)) hr = put_png_frame(encoder.p, picture);
  if (SUCCEEDED(hr)) hr = encoder->Commit();
  return SUCCEEDED(hr) && copy_stream(stream.p, bytes);
}
