// Drives the real program under Wine (or Windows) the way a person does:
// finds its window, clicks its controls, reads their texts and the pixels
// on the screen, answers its message boxes and types into its file dialogs.
#pragma once

#include <windows.h>

#include <functional>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <vector>

struct Rgb {
  int r = 0, g = 0, b = 0;
  bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
  bool operator!=(const Rgb& o) const { return !(*this == o); }
};
std::ostream& operator<<(std::ostream& out, const Rgb& c);

struct MessageBoxSeen {
  HWND box = nullptr;
  std::string caption;
  std::string text;
};

constexpr DWORD kPatienceMs = 10000;

// Plain window access, for any window of the program.
std::string text_of(HWND window);
void set_text(HWND window, const std::string& text);
// Posts a click on a button.
void post_click(HWND button);

// Polls until the condition holds; false after the timeout.
bool wait_until(const std::function<bool()>& condition, DWORD timeout_ms = kPatienceMs);

// Folder beside the test executable, where quillcrest.exe was built.
std::string build_folder();

class Program {
 public:
  // Starts the program and waits for its main window. `environment` adds
  // variables to the inherited environment. Without an adaptor the program
  // first says so in a "USB Error" box; unless `keep_adaptor_message`, it is
  // answered here and the constructor returns once the window is visible.
  // `files` are given on its command line.
  explicit Program(const std::string& exe = "quillcrest.exe",
                   const std::map<std::string, std::string>& environment = {},
                   bool keep_adaptor_message = false, const std::vector<std::string>& files = {});
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  HWND window() const { return window_; }
  DWORD process_id() const { return process_id_; }
  bool running() const;
  // Waits for the process to end; its exit code, or nothing on timeout.
  std::optional<DWORD> wait_exit(DWORD timeout_ms = kPatienceMs);

  HWND control(int id) const;
  std::string text(int id) const;
  std::wstring wide_text(int id) const;
  bool enabled(int id) const;
  bool checked(int id) const;
  bool window_enabled() const { return IsWindowEnabled(window_) != FALSE; }
  bool window_visible() const { return IsWindowVisible(window_) != FALSE; }

  // Posts a click: the command may open a modal box. Fails the test on a
  // disabled control, which a person could not click.
  void click(int id);
  // Clicks and waits until the command has finished; fails the test if it
  // opened a modal box instead.
  void click_and_finish(int id);
  // A click on a static slot control (left button down and up).
  void click_static(int id, bool twice = false);
  // Keys go to the control that has the focus.
  void press_key(UINT virtual_key);
  // Keys typed on the keyboard (SendInput) into the program's window,
  // brought to the front: down in order, up in reverse, as {VK_CONTROL, 'Z'}.
  void type_keys(std::initializer_list<WORD> keys);
  // A right click on a static slot control.
  void right_click_static(int id);

  // The popup menu the program shows (a system menu or a slot's menu).
  HWND wait_menu() const;
  // With a menu open, chooses the item at `position` with the arrow keys
  // and Enter, as a keyboard user does: 0 is the first item, -1 the last;
  // separators do not count. (Wine keeps a menu's texts in the process
  // that made it: another process cannot read them.)
  void choose_menu_item(int position);
  // Alt+Space, then the item `position`.
  void choose_system_menu_item(int position);
  // A right click on the slot, then the item `position` of its menu.
  void choose_slot_menu_item(int slot, int position);
  // Drops the files on the window as the shell does: WM_DROPFILES with the
  // list built in the program's own memory.
  void drop_files(const std::vector<std::string>& paths);
  // Whether one of its windows holds the mouse: while it tells a drag from
  // a click, and for the length of a drag.
  bool holds_mouse() const;
  // Moves the window's top-left corner to a point of the screen.
  void move_to(int x, int y);
  // Posted messages are handled in order: this click on "Read all Memory
  // Card" comes back only after everything posted before it was handled.
  void fence();

  // A visible dialog of the program with this caption, whatever its owner.
  HWND find_dialog(const std::string& caption) const;
  HWND wait_dialog(const std::string& caption) const;
  // Chooses a list item of a combo box and tells its dialog, as the list does.
  void select_combo(HWND dialog, int id, int index);

  std::optional<MessageBoxSeen> find_box() const;
  MessageBoxSeen wait_box(DWORD timeout_ms = kPatienceMs) const;
  void answer(const MessageBoxSeen& box, int button);
  // Waits for the box and answers it; returns what it said.
  MessageBoxSeen expect_box(const std::string& caption, const std::string& text, int button = IDOK);

  // Any message box of the program, whoever owns it.
  std::optional<MessageBoxSeen> find_any_box() const;

  // The open or save dialog: types the path (a Windows path) and confirms.
  void choose_file(const std::string& path);
  void cancel_file_dialog();
  // Chooses the entry of the file dialog's list of file types, from 0.
  void choose_file_type(int index);
  HWND wait_file_dialog() const;

  // A pixel of a control, in coordinates relative to its window rectangle.
  Rgb pixel(int id, int x, int y) const;
  // Every pixel the screen shows of a control's window rectangle, row by
  // row from its top-left corner, taken at once.
  std::vector<Rgb> pixels(int id, int& width, int& height) const;
  RECT control_rect(int id) const;
  // Writes what the screen shows of the main window as a 24-bit BMP file.
  bool save_screenshot(const std::string& path) const;

 private:
  void bring_to_front();
  void send_keys(std::initializer_list<WORD> keys);
  PROCESS_INFORMATION process_ = {};
  DWORD process_id_ = 0;
  HWND window_ = nullptr;
};

// A visible window with this caption shown by any process but
// `not_this_process`, such as a second program or the Explorer it opened.
HWND other_window(DWORD not_this_process, const std::string& caption);
// Closes that window and waits for its process to end, which is ended
// otherwise: it would outlive the test.
bool close_other_window(HWND window);
// The middle of a control of any window, in screen coordinates.
POINT middle_of(HWND control);
// Drags with the mouse, as a person does: the left button pressed at
// `from`, the pointer moved to `to` in steps, the button let go there. This
// thread's own windows are served meanwhile, so that one of them can be
// where the drag ends.
void drag_with_mouse(POINT from, POINT to);
// Serves this thread's windows until the condition holds; false after the timeout.
bool pump_until(const std::function<bool()>& condition, DWORD timeout_ms = kPatienceMs);

// A private folder for one test's files, removed afterwards.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  std::string path(const std::string& name) const { return folder_ + "\\" + name; }

 private:
  std::string folder_;
};
