#include "ui/file_data_object.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstring>

#include "ui/com_object.h"

namespace {

FORMATETC file_list_format() { return FORMATETC{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL}; }

bool is_file_list(const FORMATETC* format) {
  return format && format->cfFormat == CF_HDROP && format->dwAspect == DVASPECT_CONTENT &&
         (format->tymed & TYMED_HGLOBAL);
}

// A DROPFILES header, then the path, then the empty name that ends the list.
HGLOBAL make_file_list(const std::string& path) {
  HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + path.size() + 2);
  auto* list = static_cast<DROPFILES*>(memory ? GlobalLock(memory) : nullptr);
  if (!list) {
    if (memory) GlobalFree(memory);
    return nullptr;
  }
  list->pFiles = sizeof(DROPFILES);
  list->fWide = FALSE;  // the program's paths are in the system's code page
  std::memcpy(reinterpret_cast<char*>(list) + sizeof(DROPFILES), path.data(), path.size());
  GlobalUnlock(memory);
  return memory;
}

class FileDataObject final : public ComObject<IDataObject, IID_IDataObject> {
 public:
  explicit FileDataObject(std::string path) : path_(std::move(path)) {}

  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
    if (!medium) return E_POINTER;
    if (!is_file_list(format)) return DV_E_FORMATETC;
    HGLOBAL list = make_file_list(path_);
    if (!list) return E_OUTOFMEMORY;
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = list;
    medium->pUnkForRelease = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override {
    return is_file_list(format) ? S_OK : DV_E_FORMATETC;
  }
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
    if (out) out->ptd = nullptr;
    return DATA_S_SAMEFORMATETC;
  }
  // The shell offers drop descriptions and the like: nothing to keep.
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) override {
    if (direction != DATADIR_GET) return E_NOTIMPL;
    FORMATETC format = file_list_format();
    return SHCreateStdEnumFmtEtc(1, &format, formats);
  }
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

 private:
  std::string path_;
};

}  // namespace

IDataObject* create_file_data_object(const std::string& path) { return new FileDataObject(path); }

std::vector<std::string> paths_of_drop(HDROP drop) {
  std::vector<std::string> paths;
  const UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    std::string path(DragQueryFileA(drop, i, nullptr, 0), '\0');
    if (path.empty()) continue;
    DragQueryFileA(drop, i, &path[0], UINT(path.size() + 1));
    paths.push_back(path);
  }
  return paths;
}
