#include "tests/e2e/driver.h"

#include <gtest/gtest.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <ostream>
#include <vector>

std::ostream& operator<<(std::ostream& out, const Rgb& c) {
  return out << "rgb(" << c.r << "," << c.g << "," << c.b << ")";
}

bool wait_until(const std::function<bool()>& condition, DWORD timeout_ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (condition()) return true;
    if (GetTickCount() - start > timeout_ms) return false;
    Sleep(10);
  }
}

std::string build_folder() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path);
  return folder.substr(0, folder.find_last_of('\\'));
}

namespace {

struct WindowSearch {
  DWORD process_id;
  HWND owner;
  std::function<bool(HWND)> accept;
  bool hidden_too;
  HWND found = nullptr;
};

BOOL CALLBACK visit_window(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<WindowSearch*>(data);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != search->process_id || (!search->hidden_too && !IsWindowVisible(window))) return TRUE;
  if (search->owner && GetWindow(window, GW_OWNER) != search->owner) return TRUE;
  if (!search->accept(window)) return TRUE;
  search->found = window;
  return FALSE;
}

HWND find_window(DWORD pid, HWND owner, std::function<bool(HWND)> accept, bool hidden_too = false) {
  WindowSearch search{pid, owner, std::move(accept), hidden_too};
  EnumWindows(visit_window, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::string class_of(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}


const int kMessageBoxTextId = 0xFFFF;
const int kFileNameField = 0x47C;

bool is_message_box(HWND window) {
  return class_of(window) == "#32770" && GetDlgItem(window, kMessageBoxTextId) != nullptr;
}

bool is_file_dialog(HWND window) {
  return class_of(window) == "#32770" && GetDlgItem(window, kFileNameField) != nullptr;
}

MessageBoxSeen describe_box(HWND box) {
  char caption[256] = {};
  GetWindowTextA(box, caption, sizeof caption);
  return MessageBoxSeen{box, caption, text_of(GetDlgItem(box, kMessageBoxTextId))};
}

// What the program shows, for messages of failed tests.
std::string describe_windows(DWORD pid) {
  std::string out;
  find_window(pid, nullptr, [&](HWND w) {
    char caption[256] = {};
    GetWindowTextA(w, caption, sizeof caption);
    out += "\n  window \"" + std::string(caption) + "\" class " + class_of(w);
    if (is_message_box(w)) out += " saying \"" + text_of(GetDlgItem(w, kMessageBoxTextId)) + "\"";
    return false;
  });
  return out.empty() ? "\n  (no visible window)" : out;
}

}  // namespace

std::string text_of(HWND window) {
  std::vector<char> text(size_t(SendMessageA(window, WM_GETTEXTLENGTH, 0, 0)) + 1024);
  SendMessageA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  return text.data();
}

void set_text(HWND window, const std::string& text) {
  SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void post_click(HWND button) { PostMessageA(button, BM_CLICK, 0, 0); }

namespace {

struct OtherWindowSearch {
  DWORD skip;
  std::wstring caption;
  HWND found = nullptr;
};

// The caption as the window manager holds it: asking the window itself
// would wait on a program that does not answer.
BOOL CALLBACK visit_other_window(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<OtherWindowSearch*>(data);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  wchar_t caption[256] = {};
  InternalGetWindowText(window, caption, 256);
  if (process == search->skip || !IsWindowVisible(window) || caption != search->caption) return TRUE;
  search->found = window;
  return FALSE;
}

}  // namespace

HWND other_window(DWORD not_this_process, const std::string& caption) {
  OtherWindowSearch search{not_this_process, std::wstring(caption.begin(), caption.end())};
  EnumWindows(visit_other_window, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

bool close_other_window(HWND window) {
  DWORD process_id = 0;
  GetWindowThreadProcessId(window, &process_id);
  HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, process_id);
  if (!process) return false;
  PostMessageA(window, WM_CLOSE, 0, 0);
  const bool ended = WaitForSingleObject(process, kPatienceMs) == WAIT_OBJECT_0;
  if (!ended) TerminateProcess(process, 99);
  CloseHandle(process);
  return ended;
}

Program::Program(const std::string& exe, const std::map<std::string, std::string>& environment,
                 bool keep_adaptor_message, const std::vector<std::string>& files) {
  std::string block;
  for (char* env = GetEnvironmentStringsA(), *p = env; *p; p += strlen(p) + 1) {
    std::string entry(p);
    const std::string key = entry.substr(0, entry.find('='));
    if (!environment.count(key)) block += entry + '\0';
  }
  for (const auto& [key, value] : environment) block += key + "=" + value + '\0';
  block += '\0';

  const std::string path = build_folder() + "\\" + exe;
  std::string command = "\"" + path + "\"";
  for (const std::string& file : files) command += " \"" + file + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  if (!CreateProcessA(path.c_str(), command.data(), nullptr, nullptr, FALSE, 0, block.data(),
                      nullptr, &startup, &process_)) {
    ADD_FAILURE() << "cannot start " << path << ": error " << GetLastError();
    return;
  }
  process_id_ = process_.dwProcessId;
  // The window exists, still hidden, while the program tells what it found
  // of the adaptor.
  wait_until([&] {
    window_ = find_window(
        process_id_, nullptr,
        [](HWND w) {
          char caption[128] = {};
          GetWindowTextA(w, caption, sizeof caption);
          return class_of(w) == "#32770" && std::string(caption) == "Quillcrest - Ventrobel [2019]";
        },
        true);
    return window_ != nullptr || !running();
  });
  if (!window_) {
    ADD_FAILURE() << exe << " showed no main window";
    return;
  }
  if (keep_adaptor_message) return;
  const bool shown = wait_until([&] {
    if (std::optional<MessageBoxSeen> box = find_box()) {
      if (box->caption != "USB Error") return false;
      PostMessageA(GetDlgItem(box->box, IDOK), BM_CLICK, 0, 0);
    }
    return window_visible();
  });
  if (!shown) ADD_FAILURE() << exe << "'s window did not appear:" << describe_windows(process_id_);
}

Program::~Program() {
  if (process_.hProcess) {
    if (running()) {
      TerminateProcess(process_.hProcess, 99);
      WaitForSingleObject(process_.hProcess, kPatienceMs);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
  }
}

bool Program::running() const {
  return process_.hProcess && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> Program::wait_exit(DWORD timeout_ms) {
  if (WaitForSingleObject(process_.hProcess, timeout_ms) != WAIT_OBJECT_0) return std::nullopt;
  DWORD code = 0;
  GetExitCodeProcess(process_.hProcess, &code);
  return code;
}

HWND Program::control(int id) const { return GetDlgItem(window_, id); }

std::string Program::text(int id) const { return text_of(control(id)); }

std::wstring Program::wide_text(int id) const {
  wchar_t text[1024] = {};
  SendMessageW(control(id), WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
  return text;
}

bool Program::enabled(int id) const { return IsWindowEnabled(control(id)) != FALSE; }

bool Program::checked(int id) const {
  return SendMessageA(control(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Program::click(int id) {
  HWND button = control(id);
  ASSERT_TRUE(button) << "no control " << id;
  ASSERT_TRUE(IsWindowEnabled(button) && IsWindowEnabled(window_)) << "control " << id << " is disabled";
  PostMessageA(button, BM_CLICK, 0, 0);
}

void Program::click_and_finish(int id) {
  HWND button = control(id);
  ASSERT_TRUE(button) << "no control " << id;
  ASSERT_TRUE(IsWindowEnabled(button)) << "control " << id << " is disabled";
  DWORD_PTR result = 0;
  const bool finished = SendMessageTimeoutA(button, BM_CLICK, 0, 0, SMTO_NORMAL, 5000, &result) != 0;
  ASSERT_TRUE(finished) << "command " << id << " did not finish (a modal box?)";
}

void Program::click_static(int id, bool twice) {
  HWND slot = control(id);
  ASSERT_TRUE(slot) << "no control " << id;
  ASSERT_TRUE(IsWindowEnabled(window_)) << "the window is disabled";
  const LPARAM at = MAKELPARAM(5, 5);
  PostMessageA(slot, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageA(slot, WM_LBUTTONUP, 0, at);
  if (twice) {
    PostMessageA(slot, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    PostMessageA(slot, WM_LBUTTONUP, 0, at);
  }
}

void Program::press_key(UINT virtual_key) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  GetGUIThreadInfo(process_.dwThreadId, &info);
  HWND target = info.hwndFocus ? info.hwndFocus : window_;
  PostMessageA(target, WM_KEYDOWN, virtual_key, 1);
  PostMessageA(target, WM_KEYUP, virtual_key, 0xC0000001);
}

void Program::type_keys(std::initializer_list<WORD> keys) {
  bring_to_front();
  send_keys(keys);
}

void Program::send_keys(std::initializer_list<WORD> keys) {
  std::vector<INPUT> inputs;
  for (WORD key : keys) {
    INPUT down = {};
    down.type = INPUT_KEYBOARD;
    down.ki.wVk = key;
    inputs.push_back(down);
  }
  for (auto key = keys.end(); key != keys.begin();) {
    INPUT up = {};
    up.type = INPUT_KEYBOARD;
    up.ki.wVk = *--key;
    up.ki.dwFlags = KEYEVENTF_KEYUP;
    inputs.push_back(up);
  }
  ASSERT_EQ(SendInput(UINT(inputs.size()), inputs.data(), sizeof(INPUT)), inputs.size());
}

// Keys go to the foreground window, where an open menu takes them too. A
// dialog just closed hands the foreground back a moment later: keys typed
// before go nowhere. And Wine closes an open menu (WM_CANCELMODE) when the
// X server's focus events of that change arrive, after Wine's own state
// has moved on: the window must have stayed in front for a moment.
void Program::bring_to_front() {
  const auto in_front = [&] {
    GUITHREADINFO thread = {};
    thread.cbSize = sizeof thread;
    return GetForegroundWindow() == window_ && GetGUIThreadInfo(process_.dwThreadId, &thread) &&
           thread.hwndActive == window_ && (thread.hwndFocus == window_ || IsChild(window_, thread.hwndFocus));
  };
  const DWORD kSettledMs = 250;
  DWORD since = 0;
  const auto settled = [&] {
    if (!in_front()) return (since = 0), false;
    if (!since) since = GetTickCount();
    return GetTickCount() - since >= kSettledMs;
  };
  if (!wait_until(settled, 1000)) SetForegroundWindow(window_);
  ASSERT_TRUE(wait_until(settled)) << "the window is not in front";
}

void Program::right_click_static(int id) {
  HWND slot = control(id);
  ASSERT_TRUE(slot) << "no control " << id;
  ASSERT_TRUE(IsWindowEnabled(window_)) << "the window is disabled";
  bring_to_front();
  PostMessageA(slot, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 5));
  PostMessageA(slot, WM_RBUTTONUP, 0, MAKELPARAM(5, 5));
}

HWND Program::wait_menu() const {
  HWND menu = nullptr;
  wait_until([&] {
    return (menu = find_window(process_id_, nullptr, [](HWND w) { return class_of(w) == "#32768"; })) !=
           nullptr;
  });
  if (!menu) ADD_FAILURE() << "no menu appeared; the program shows:" << describe_windows(process_id_);
  return menu;
}

void Program::choose_menu_item(int position) {
  HWND menu = wait_menu();
  ASSERT_TRUE(menu);
  const WORD step = position >= 0 ? VK_DOWN : VK_UP;
  for (int n = 0; n < (position >= 0 ? position + 1 : -position); ++n) send_keys({step});
  send_keys({VK_RETURN});
  ASSERT_TRUE(wait_until([&] { return !IsWindowVisible(menu); })) << "the menu stayed open";
}

void Program::choose_system_menu_item(int position) {
  type_keys({VK_MENU, VK_SPACE});
  choose_menu_item(position);
}

void Program::choose_slot_menu_item(int slot, int position) {
  right_click_static(1019 + slot);
  choose_menu_item(position);
}

void Program::drop_files(const std::vector<std::string>& paths) {
  // DROPFILES, then each path and its NUL, then the NUL that ends the list.
  std::string list(sizeof(DROPFILES), '\0');
  reinterpret_cast<DROPFILES*>(&list[0])->pFiles = sizeof(DROPFILES);
  for (const std::string& path : paths) list += path + '\0';
  list += '\0';
  // A fixed block serves as a memory handle: DragQueryFile locks it and
  // gets the same address back.
  void* remote = VirtualAllocEx(process_.hProcess, nullptr, list.size(), MEM_COMMIT, PAGE_READWRITE);
  ASSERT_TRUE(remote) << "no memory in the program: error " << GetLastError();
  ASSERT_TRUE(WriteProcessMemory(process_.hProcess, remote, list.data(), list.size(), nullptr));
  PostMessageA(window_, WM_DROPFILES, reinterpret_cast<WPARAM>(remote), 0);
}

bool Program::holds_mouse() const {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  return GetGUIThreadInfo(process_.dwThreadId, &info) && info.hwndCapture != nullptr;
}

void Program::move_to(int x, int y) {
  SetWindowPos(window_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ASSERT_TRUE(wait_until([&] {
    RECT rect;
    GetWindowRect(window_, &rect);
    return rect.left == x && rect.top == y;
  }));
}

void Program::fence() {
  // Toggle the reading mode twice and wait for each to show.
  const int ids[2] = {checked(1036) ? 1037 : 1036, checked(1036) ? 1036 : 1037};
  for (int id : ids) {
    PostMessageA(control(id), BM_CLICK, 0, 0);
    ASSERT_TRUE(wait_until([&] { return checked(id); })) << "the program stopped answering";
  }
}

std::optional<MessageBoxSeen> Program::find_box() const {
  HWND box = find_window(process_id_, window_, is_message_box);
  if (!box) return std::nullopt;
  return describe_box(box);
}

std::optional<MessageBoxSeen> Program::find_any_box() const {
  HWND box = find_window(process_id_, nullptr, is_message_box);
  if (!box) return std::nullopt;
  return describe_box(box);
}

HWND Program::find_dialog(const std::string& caption) const {
  return find_window(process_id_, nullptr, [&](HWND w) {
    char text[256] = {};
    GetWindowTextA(w, text, sizeof text);
    return class_of(w) == "#32770" && caption == text;
  });
}

HWND Program::wait_dialog(const std::string& caption) const {
  HWND dialog = nullptr;
  wait_until([&] { return (dialog = find_dialog(caption)) != nullptr; });
  if (!dialog) ADD_FAILURE() << "no dialog \"" << caption << "\" appeared";
  return dialog;
}

void Program::select_combo(HWND dialog, int id, int index) {
  HWND combo = GetDlgItem(dialog, id);
  ASSERT_TRUE(combo) << "no combo box " << id;
  SendMessageA(combo, CB_SETCURSEL, index, 0);
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

MessageBoxSeen Program::wait_box(DWORD timeout_ms) const {
  std::optional<MessageBoxSeen> seen;
  wait_until([&] { return (seen = find_box()).has_value(); }, timeout_ms);
  if (!seen) {
    ADD_FAILURE() << "no message box appeared";
    return {};
  }
  return *seen;
}

void Program::answer(const MessageBoxSeen& seen, int button) {
  HWND target = GetDlgItem(seen.box, button);
  ASSERT_TRUE(target) << "the box \"" << seen.text << "\" has no button " << button;
  PostMessageA(target, BM_CLICK, 0, 0);
  ASSERT_TRUE(wait_until([&] { return !IsWindow(seen.box) || !IsWindowVisible(seen.box); }))
      << "the box did not close";
}

MessageBoxSeen Program::expect_box(const std::string& caption, const std::string& text, int button) {
  const MessageBoxSeen seen = wait_box();
  EXPECT_EQ(seen.caption, caption);
  EXPECT_EQ(seen.text, text);
  if (seen.box) answer(seen, button);
  return seen;
}

HWND Program::wait_file_dialog() const {
  HWND dialog = nullptr;
  wait_until([&] { return (dialog = find_window(process_id_, window_, is_file_dialog)) != nullptr; });
  return dialog;
}

void Program::choose_file(const std::string& path) {
  HWND dialog = wait_file_dialog();
  ASSERT_TRUE(dialog) << "no file dialog appeared; the program shows:" << describe_windows(process_id_);
  HWND field = GetDlgItem(dialog, kFileNameField);
  HWND edit = FindWindowExA(field, nullptr, "Edit", nullptr);
  if (!edit) {
    HWND combo = FindWindowExA(field, nullptr, "ComboBox", nullptr);
    edit = combo ? FindWindowExA(combo, nullptr, "Edit", nullptr) : nullptr;
  }
  ASSERT_TRUE(edit) << "the file dialog has no name field";
  SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
  PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
  ASSERT_TRUE(wait_until([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }))
      << "the file dialog did not accept " << path;
}

void Program::choose_file_type(int index) {
  const int kFileTypes = 0x470;
  HWND dialog = wait_file_dialog();
  ASSERT_TRUE(dialog) << "no file dialog appeared";
  HWND types = GetDlgItem(dialog, kFileTypes);
  ASSERT_TRUE(types) << "the file dialog has no file types";
  ASSERT_NE(SendMessageA(types, CB_SETCURSEL, index, 0), CB_ERR) << "no file type " << index;
  // What the list tells when a person picks an entry and it closes.
  for (WORD notification : {CBN_SELCHANGE, CBN_SELENDOK})
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(kFileTypes, notification), reinterpret_cast<LPARAM>(types));
}

void Program::cancel_file_dialog() {
  HWND dialog = wait_file_dialog();
  ASSERT_TRUE(dialog) << "no file dialog appeared";
  PostMessageA(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
  ASSERT_TRUE(wait_until([&] { return !IsWindow(dialog); }));
}

RECT Program::control_rect(int id) const {
  RECT rect = {};
  GetWindowRect(control(id), &rect);
  return rect;
}

Rgb Program::pixel(int id, int x, int y) const {
  const RECT rect = control_rect(id);
  HDC screen = GetDC(nullptr);
  const COLORREF colour = GetPixel(screen, rect.left + x, rect.top + y);
  ReleaseDC(nullptr, screen);
  return Rgb{GetRValue(colour), GetGValue(colour), GetBValue(colour)};
}

std::vector<Rgb> Program::pixels(int id, int& width, int& height) const {
  const RECT rect = control_rect(id);
  width = rect.right - rect.left;
  height = rect.bottom - rect.top;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  std::vector<Rgb> out;
  if (bitmap && bits) {
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    SelectObject(memory, previous);
    const auto* bgrx = static_cast<const uint8_t*>(bits);
    for (int i = 0; i < width * height; ++i) out.push_back(Rgb{bgrx[4 * i + 2], bgrx[4 * i + 1], bgrx[4 * i]});
  }
  if (bitmap) DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return out;
}

bool Program::save_screenshot(const std::string& path) const {
  RECT rect = {};
  GetWindowRect(window_, &rect);
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // bottom-up, as BMP files store it
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* pixels = nullptr;
  HDC screen = GetDC(nullptr);
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
  HDC memory = CreateCompatibleDC(screen);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
  GdiFlush();
  const DWORD row = (width * 3 + 3) & ~3u;
  BITMAPFILEHEADER file = {};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info.bmiHeader;
  file.bfSize = file.bfOffBits + row * height;
  bool written = false;
  if (FILE* out = fopen(path.c_str(), "wb")) {
    written = fwrite(&file, sizeof file, 1, out) == 1 &&
              fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out) == 1 &&
              fwrite(pixels, row * height, 1, out) == 1;
    written = fclose(out) == 0 && written;
  }
  SelectObject(memory, previous);
  DeleteDC(memory);
  DeleteObject(bitmap);
  ReleaseDC(nullptr, screen);
  return written;
}

POINT middle_of(HWND control) {
  RECT rect = {};
  GetWindowRect(control, &rect);
  return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

bool pump_until(const std::function<bool()>& condition, DWORD timeout_ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    if (condition()) return true;
    if (GetTickCount() - start > timeout_ms) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

namespace {

void send_mouse(DWORD flags, POINT at = {}) {
  INPUT input = {};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = flags;
  if (flags & MOUSEEVENTF_MOVE) {
    input.mi.dwFlags |= MOUSEEVENTF_ABSOLUTE;
    input.mi.dx = at.x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = at.y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
  }
  SendInput(1, &input, sizeof input);
}

void pause(DWORD ms) {
  pump_until([] { return false; }, ms);
}

// The pointer where it was sent, as the system sees it: a move sent just
// after a window moved or appeared can be overtaken by the display's own.
bool point_at(POINT at) {
  return pump_until(
      [&] {
        POINT now = {};
        GetCursorPos(&now);
        if (now.x == at.x && now.y == at.y) return true;
        send_mouse(MOUSEEVENTF_MOVE, at);
        return false;
      },
      3000);
}

}  // namespace

void drag_with_mouse(POINT from, POINT to) {
  // The window is brought to the front first, as a person's first press
  // would: under Wine without a window manager, a press on another
  // program's window that is not in front is at times lost.
  HWND window = GetAncestor(WindowFromPoint(from), GA_ROOT);
  SetForegroundWindow(window);
  EXPECT_TRUE(wait_until([&] { return GetForegroundWindow() == window; })) << "the window stays behind";
  EXPECT_TRUE(point_at(POINT{from.x + 1, from.y})) << "the pointer does not move";
  EXPECT_TRUE(point_at(from));
  pause(200);
  send_mouse(MOUSEEVENTF_LEFTDOWN);
  pause(100);
  const int steps = 20;
  for (int i = 1; i <= steps; ++i) {
    send_mouse(MOUSEEVENTF_MOVE, POINT{from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps});
    pause(30);
  }
  pause(200);
  send_mouse(MOUSEEVENTF_LEFTUP);
}

TempFolder::TempFolder() {
  char base[MAX_PATH];
  GetTempPathA(MAX_PATH, base);
  static int counter = 0;
  folder_ = std::string(base) + "qc-e2e-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(++counter);
  CreateDirectoryA(folder_.c_str(), nullptr);
}

TempFolder::~TempFolder() {
  std::string from = folder_ + '\0';
  SHFILEOPSTRUCTA operation = {};
  operation.wFunc = FO_DELETE;
  operation.pFrom = from.c_str();
  operation.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
  SHFileOperationA(&operation);
}
