#include <gtest/gtest.h>

#include "resources/link_addresses.h"
#include "resources/resource_ids.h"
#include "tests/e2e/driver.h"
#include "tests/e2e/e2e_cards.h"

namespace {

// Makes url_recorder.exe the shell's handler for https addresses while a
// test runs, and puts the previous handler back afterwards.
class HttpsHandler {
 public:
  HttpsHandler() {
    RegCreateKeyExA(HKEY_CLASSES_ROOT, "https\\shell\\open\\command", 0, nullptr, 0,
                    KEY_READ | KEY_WRITE, nullptr, &key_, nullptr);
    char value[1024] = {};
    DWORD size = sizeof value;
    had_value_ = RegQueryValueExA(key_, nullptr, nullptr, nullptr,
                                  reinterpret_cast<BYTE*>(value), &size) == ERROR_SUCCESS;
    previous_ = value;
    const std::string command = "\"" + build_folder() + "\\url_recorder.exe\" \"%1\"";
    RegSetValueExA(key_, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                   DWORD(command.size() + 1));
  }
  ~HttpsHandler() {
    if (had_value_)
      RegSetValueExA(key_, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(previous_.c_str()),
                     DWORD(previous_.size() + 1));
    else
      RegDeleteValueA(key_, nullptr);
    RegCloseKey(key_);
  }

 private:
  HKEY key_ = nullptr;
  bool had_value_ = false;
  std::string previous_;
};

// Pixels of a control whose blue clearly dominates: the link colour and its
// anti-aliased edges.
int blue_pixels(const Program& program, int id) {
  const RECT r = program.control_rect(id);
  HDC screen = GetDC(nullptr);
  int count = 0;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) {
      const COLORREF c = GetPixel(screen, x, y);
      if (GetBValue(c) > 120 && GetRValue(c) < 80 && GetGValue(c) < 80) ++count;
    }
  ReleaseDC(nullptr, screen);
  return count;
}

// The count once the control has finished painting: two readings agree. A
// window just shown may not have painted at all yet, and two readings of
// nothing agree too.
int settled_blue_pixels(const Program& program, int id) {
  wait_until([&] { return blue_pixels(program, id) > 0; });
  int previous = -1, now = blue_pixels(program, id);
  for (int i = 0; i < 100 && now != previous; ++i) {
    Sleep(50);
    previous = now;
    now = blue_pixels(program, id);
  }
  return now;
}

std::string lines(const std::string& path) {
  const Bytes bytes = read_file(path);
  return std::string(bytes.begin(), bytes.end());
}

TEST(Links, AreBlueAndUnderlinedOnlyWhileThePointerIsOverThem) {
  Program program;
  const int plain = settled_blue_pixels(program, IDC_SITE_LINK);
  const int donate_plain = settled_blue_pixels(program, IDC_DONATE_LINK);
  EXPECT_GT(plain, 20);
  EXPECT_GT(donate_plain, 20);

  PostMessageA(program.control(IDC_SITE_LINK), WM_MOUSEMOVE, 0, MAKELPARAM(4, 4));
  EXPECT_TRUE(wait_until([&] { return blue_pixels(program, IDC_SITE_LINK) > plain + 10; }))
      << "no underline appeared";
  EXPECT_EQ(blue_pixels(program, IDC_DONATE_LINK), donate_plain);

  // The link holds the mouse capture: a movement outside it ends the underline.
  PostMessageA(program.control(IDC_SITE_LINK), WM_MOUSEMOVE, 0, MAKELPARAM(-30, -30));
  EXPECT_TRUE(wait_until([&] { return blue_pixels(program, IDC_SITE_LINK) == plain; }))
      << blue_pixels(program, IDC_SITE_LINK) << " blue pixels, " << plain << " before";
}

TEST(Links, ClickingOpensTheirAddressAndADoubleClickOpensItTwice) {
  HttpsHandler handler;
  TempFolder folder;
  const std::string log = folder.path("urls.txt");
  Program program("quillcrest.exe", {{"QUILLCREST_URL_LOG", log}});
  program.click_static(IDC_SITE_LINK);
  ASSERT_TRUE(wait_until([&] { return lines(log) == std::string(WEB_SITE_ADDRESS) + "\n"; }))
      << lines(log);
  program.click_static(IDC_DONATE_LINK, true);
  const std::string expected = std::string(WEB_SITE_ADDRESS) + "\n" + DONATION_PAGE_ADDRESS + "\n" +
                               DONATION_PAGE_ADDRESS + "\n";
  EXPECT_TRUE(wait_until([&] { return lines(log) == expected; })) << lines(log);
  EXPECT_TRUE(program.window_visible());
  EXPECT_FALSE(program.find_box());
  EXPECT_EQ(program.text(IDC_COUNTER), "0/15");
}

}  // namespace
