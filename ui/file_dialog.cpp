#include "ui/file_dialog.h"

#include <windows.h>

#include <commdlg.h>

#include <cstring>

#include "ui/app_state.h"

namespace {

const DWORD kPathBufferSize = 256;

bool run_dialog(bool save, const char* filter, const char* default_extension, DWORD flags,
                std::string& path, int* chosen_filter = nullptr, const std::string& suggested = "") {
  char buffer[kPathBufferSize] = {};
  if (suggested.size() < kPathBufferSize) std::memcpy(buffer, suggested.data(), suggested.size());
  OPENFILENAMEA dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = app.window;
  dialog.lpstrFilter = filter;
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = buffer;
  dialog.nMaxFile = kPathBufferSize;
  dialog.lpstrDefExt = default_extension;
  dialog.Flags = flags;
  if (!(save ? GetSaveFileNameA(&dialog) : GetOpenFileNameA(&dialog))) return false;
  path = buffer;
  if (chosen_filter) *chosen_filter = int(dialog.nFilterIndex);
  return true;
}

}  // namespace

bool ask_open_path(const char* filter, std::string& path) {
  return run_dialog(false, filter, nullptr, OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST, path);
}

bool ask_save_path(const char* filter, const char* default_extension, std::string& path) {
  return run_dialog(true, filter, default_extension, OFN_PATHMUSTEXIST, path);
}

bool ask_save_path(const char* filter, const char* default_extension, std::string& path, int& chosen_filter,
                   const std::string& suggested) {
  return run_dialog(true, filter, default_extension, OFN_PATHMUSTEXIST, path, &chosen_filter, suggested);
}
