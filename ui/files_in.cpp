#include "ui/files_in.h"

#include <ole2.h>
#include <shellapi.h>

#include <deque>

#include "files/card_formats.h"
#include "files/file_io.h"
#include "ui/app_state.h"
#include "ui/card_commands.h"
#include "ui/com_object.h"
#include "ui/file_data_object.h"
#include "ui/message_box.h"
#include "ui/save_commands.h"
#include "ui/save_drag.h"

namespace {

std::deque<std::string> waiting;
bool opening = false;

// The window takes files only when it could take a click: no job running,
// no message box or dialog of its own open.
bool window_idle() { return IsWindowEnabled(app.window) && IsWindowVisible(app.window); }

void open_files(const std::vector<std::string>& paths) {
  std::vector<std::string> cards, saves;
  for (const std::string& path : paths) {
    FilePrefix start;
    if (show_failure(read_file_prefix(path, kCardFileTagBytes, start))) continue;
    (is_card_file(start) ? cards : saves).push_back(path);
  }
  for (const std::string& path : cards) open_card_named(path);
  // A save with no card to take it goes onto a new one; a new card that
  // took nothing is no card the user asked for.
  for (const std::string& path : saves) {
    const bool had_card = is_loaded(app.card);
    if (!had_card) new_card();
    if (!import_save_from(path) && !had_card) forget_card();
  }
}

// Accepts files from OLE drag and drop: Explorer, the desktop, another
// Quillcrest window. A save dragged out of this window is not taken back.
class FileDropTarget final : public ComObject<IDropTarget, IID_IDropTarget> {
 public:
  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    offers_files_ = data && data->QueryGetData(&format) == S_OK;
    return DragOver(0, POINTL{}, effect);
  }
  HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD* effect) override {
    if (effect) *effect = accepts() ? DROPEFFECT_COPY : DROPEFFECT_NONE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DragLeave() override {
    offers_files_ = false;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
    if (effect) *effect = DROPEFFECT_NONE;
    const bool accepted = accepts();
    offers_files_ = false;
    if (!accepted) return S_OK;
    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium = {};
    if (FAILED(data->GetData(&format, &medium))) return S_OK;
    std::vector<std::string> paths;
    if (medium.tymed == TYMED_HGLOBAL) paths = paths_of_drop(static_cast<HDROP>(medium.hGlobal));
    ReleaseStgMedium(&medium);
    // Opened after the drop has ended: the program the files came from
    // waits for this call, and opening may ask questions.
    if (paths.empty()) return S_OK;
    open_files_later(paths);
    if (effect) *effect = DROPEFFECT_COPY;
    return S_OK;
  }

 private:
  bool accepts() const { return offers_files_ && !dragging_save_out() && window_idle(); }
  bool offers_files_ = false;
};

}  // namespace

void open_files_later(const std::vector<std::string>& paths) {
  waiting.insert(waiting.end(), paths.begin(), paths.end());
  PostMessageA(app.window, kOpenFilesMessage, 0, 0);
}

void open_waiting_files() {
  if (opening) return;  // the files being opened take these after them
  opening = true;
  while (!waiting.empty()) {
    const std::vector<std::string> paths(waiting.begin(), waiting.end());
    waiting.clear();
    open_files(paths);
  }
  opening = false;
}

void take_dropped_files(HDROP drop) {
  const std::vector<std::string> paths = paths_of_drop(drop);
  DragFinish(drop);
  if (window_idle()) open_files_later(paths);
}

void accept_dropped_files(HWND window) {
  DragAcceptFiles(window, TRUE);
  FileDropTarget* target = new FileDropTarget;
  RegisterDragDrop(window, target);  // holds its own reference when it succeeds
  target->Release();
}

void stop_accepting_files(HWND window) {
  RevokeDragDrop(window);
  DragAcceptFiles(window, FALSE);
}
