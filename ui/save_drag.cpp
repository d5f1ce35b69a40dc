#include "ui/save_drag.h"

#include <commctrl.h>
#include <ole2.h>

#include <string>
#include <vector>

#include "files/folders.h"
#include "files/save_file.h"
#include "resources/resource_ids.h"
#include "ui/app_state.h"
#include "ui/checks.h"
#include "ui/com_object.h"
#include "ui/file_data_object.h"
#include "ui/message_box.h"

namespace {

const UINT_PTR kSlotSubclass = 1;
bool dragging = false;
std::vector<std::string> files_written, folders_made;

// Ends the drag with a drop when the button is let go, without one on Escape.
class SaveDropSource final : public ComObject<IDropSource, IID_IDropSource> {
 public:
  HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD keys) override {
    if (escape) return DRAGDROP_S_CANCEL;
    return keys & MK_LBUTTON ? S_OK : DRAGDROP_S_DROP;
  }
  HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }
};

// A folder of its own for each drag, so that two saves of one name, or the
// same save dragged twice, never meet.
Failure write_drag_file(const std::string& name, const std::vector<uint8_t>& bytes, std::string& path) {
  char temporary[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathA(sizeof temporary, temporary);
  if (length == 0 || length > MAX_PATH) return fail("Cannot create file !", "File Error");
  static int drags = 0;
  const std::string folder = std::string(temporary) + "Quillcrest-" + std::to_string(GetCurrentProcessId()) +
                             "-" + std::to_string(++drags);
  if (!make_folders(folder)) return fail("Cannot create file !", "File Error");
  folders_made.push_back(folder);
  path = path_in(folder, name);
  if (Failure failure = write_file_replacing(path, bytes.data(), bytes.size())) return failure;
  files_written.push_back(path);
  return std::nullopt;
}

// A fast read lacks the saves' data: what the export refuses, a drag does.
void drag_save(int slot) {
  if (refuse_partial()) return;
  std::vector<uint8_t> bytes;
  if (show_failure(export_save(app.card, slot, SaveFormat::mcs, bytes))) return;
  std::string path;
  if (show_failure(write_drag_file(exported_file_name(app.card, slot, SaveFormat::mcs), bytes, path))) return;
  IDataObject* data = create_file_data_object(path);
  IDropSource* source = new SaveDropSource;
  DWORD effect = DROPEFFECT_NONE;
  dragging = true;
  DoDragDrop(data, source, DROPEFFECT_COPY, &effect);
  dragging = false;
  source->Release();
  data->Release();
}

// The slot's own handling comes first: the press selects the save.
LRESULT CALLBACK slot_proc(HWND control, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR, DWORD_PTR) {
  const LRESULT result = DefSubclassProc(control, message, wparam, lparam);
  if (message == WM_NCDESTROY) RemoveWindowSubclass(control, slot_proc, kSlotSubclass);
  if (message != WM_LBUTTONDOWN || !is_loaded(app.card) || app.selected < 0) return result;
  const int slot = GetDlgCtrlID(control) - IDC_FIRST_SLOT;
  if (selected_save(app.slots, slot) != app.selected || app.slots.status[app.selected] <= 0) return result;
  POINT start = {short(LOWORD(lparam)), short(HIWORD(lparam))};
  ClientToScreen(control, &start);
  if (DragDetect(control, start)) drag_save(app.selected);
  return result;
}

}  // namespace

void let_slots_start_drags(HWND window) {
  for (int id = IDC_FIRST_SLOT; id <= IDC_LAST_SLOT; ++id)
    SetWindowSubclass(GetDlgItem(window, id), slot_proc, kSlotSubclass, 0);
}

bool dragging_save_out() { return dragging; }

void remove_dragged_files() {
  for (const std::string& file : files_written) DeleteFileA(file.c_str());
  for (const std::string& folder : folders_made) RemoveDirectoryA(folder.c_str());
  files_written.clear();
  folders_made.clear();
}
