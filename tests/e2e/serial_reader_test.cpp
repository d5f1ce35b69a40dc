// The window choosing a serial card reader in its system menu and reading
// and writing the card through it, on the COM ports serial_readers_test.sh
// links to emulated readers. The choice is kept in the registry and read at
// the next start.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>

#include "adaptor/serial_port.h"
#include "resources/resource_ids.h"
#include "tests/e2e/saves_fixture.h"

namespace {

const char kSettings[] = "Software\\Quillcrest";

struct SerialCase {
  const char* kind;  // as --reader names it
  const char* port;
  const char* state_variable;
  int slot = 0;  // PS1CardLink: the console's slot
};

std::string stored_reader() {
  char text[256] = "";
  DWORD size = sizeof text;
  if (RegGetValueA(HKEY_CURRENT_USER, kSettings, "Reader", RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS)
    return "";
  return text;
}

void store_reader(const std::string& text) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kSettings, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, "Reader", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), DWORD(text.size() + 1));
  RegCloseKey(key);
}

// The ports as the system lists them: COM7, COM8 and COM9 are the emulated readers'.
void list_test_ports() {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, nullptr, REG_OPTION_VOLATILE,
                            KEY_SET_VALUE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  for (const char* port : {"COM7", "COM8", "COM9"})
    RegSetValueExA(key, (std::string("\\Device\\QuillcrestTest") + port).c_str(), 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(port), 5);
  RegCloseKey(key);
}

struct MenuCount {
  DWORD pid;
  int menus = 0;
};

BOOL CALLBACK count_menu(HWND window, LPARAM data) {
  auto* count = reinterpret_cast<MenuCount*>(data);
  char name[16] = "";
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  GetClassNameA(window, name, sizeof name);
  if (pid == count->pid && IsWindowVisible(window) && std::string(name) == "#32768") ++count->menus;
  return TRUE;
}

// Open menus are windows of their own class.
int visible_menus(const Program& program) {
  MenuCount count{program.process_id()};
  EnumWindows(count_menu, reinterpret_cast<LPARAM>(&count));
  return count.menus;
}

void key(const Program& program, UINT virtual_key) {
  PostMessageA(program.window(), WM_KEYDOWN, virtual_key, 1);
  PostMessageA(program.window(), WM_KEYUP, virtual_key, 0xC0000001);
}

// As a person does from the keyboard: Alt+Space opens the system menu, End
// goes to its last item, "Card Reader", Right opens it, then down to the
// reader's item, which lists the adaptor first and then for each port the
// system lists: MemCARDuino, DexDrive, PS1CardLink and PS1CardLink's slot 2.
void choose_card_reader(Program& program, const SerialCase& reader) {
  int item = 0;
  const std::string kind = reader.kind;
  const int offset = kind == "memcarduino" ? 0 : kind == "dexdrive" ? 1 : reader.slot == 2 ? 3 : 2;
  const std::vector<SerialPortInfo> ports = list_serial_ports();
  for (size_t k = 0; k < ports.size(); ++k)
    if (ports[k].name == reader.port) item = 1 + 4 * int(k) + offset;
  const std::string port = reader.port;
  ASSERT_GT(item, 0) << port << " is not listed";
  PostMessageA(program.window(), WM_SYSCOMMAND, SC_KEYMENU, ' ');
  ASSERT_TRUE(wait_until([&] { return visible_menus(program) == 1; }));
  key(program, VK_END);
  key(program, VK_RIGHT);
  ASSERT_TRUE(wait_until([&] { return visible_menus(program) == 2; })) << "no Card Reader submenu";
  for (int k = 0; k < item; ++k) key(program, VK_DOWN);
  key(program, VK_RETURN);
  ASSERT_TRUE(wait_until([&] { return visible_menus(program) == 0; }));
}

// Whatever a test leaves, the next program of the test run starts with the adaptor.
class ForgetReader : public testing::Environment {
 public:
  void TearDown() override { RegDeleteKeyValueA(HKEY_CURRENT_USER, kSettings, "Reader"); }
};
const testing::Environment* const kForgetReader = testing::AddGlobalTestEnvironment(new ForgetReader);

class WindowSerialReader : public testing::TestWithParam<SerialCase> {
 protected:
  void SetUp() override {
    RegDeleteKeyValueA(HKEY_CURRENT_USER, kSettings, "Reader");
    list_test_ports();
    const char* state = std::getenv(GetParam().state_variable);
    ASSERT_TRUE(state) << "run by serial_readers_test.sh, which starts the emulated readers";
    state_path = state;
  }
  std::map<std::string, std::string> environment() const { return {{"LOCALAPPDATA", folder.path("appdata")}}; }
  Bytes real_card() const { return read_file(state_path); }
  std::string state_path;
  TempFolder folder;
};

TEST_P(WindowSerialReader, ChosenInTheSystemMenuItReadsAndWritesTheCardAndStaysChosen) {
  const std::string form = std::string(GetParam().kind) + ":" + GetParam().port + (GetParam().slot == 2 ? ":2" : "");
  write_file(folder.path("sample.mcr"), card_bytes(sample_card()));
  {
    Program program("quillcrest.exe", environment());  // no PS3 adaptor: its message answered
    EXPECT_FALSE(program.enabled(IDC_READ_CARD));
    choose_card_reader(program, GetParam());
    // The menu closes before the window has taken the command it sent.
    EXPECT_TRUE(wait_until([&] { return stored_reader() == form; })) << "stored: " << stored_reader();
    ASSERT_TRUE(wait_until([&] { return program.enabled(IDC_READ_CARD) && program.enabled(IDC_WRITE_CARD); }));

    // An opened file has no last read: the whole card, unasked.
    open_card(program, folder.path("sample.mcr"));
    ASSERT_TRUE(wait_until([&] { return program.text(IDC_COUNTER) == "6/15"; }));
    program.click(IDC_WRITE_CARD);
    ASSERT_TRUE(wait_until([&] { return real_card() == card_bytes(sample_card()) && program.window_enabled(); },
                           30000));
    EXPECT_FALSE(program.find_box());
    EXPECT_EQ(program.text(IDC_READ_CARD), "Read from PS3MCA");
  }
  // Started again, the window uses the reader chosen last, and says nothing of the adaptor.
  Program program("quillcrest.exe", environment(), true);
  ASSERT_TRUE(wait_until([&] { return program.window_visible(); }));
  EXPECT_FALSE(program.find_box());
  program.click(IDC_READ_CARD);
  ASSERT_TRUE(wait_until([&] { return program.text(IDC_COUNTER) == "6/15" && program.window_enabled(); }, 30000));
  program.click_static(IDC_FIRST_SLOT);
  ASSERT_TRUE(wait_until([&] { return program.text(IDC_TITLE) == "DEMO"; }));
  program.click(IDC_DELETE_SAVE);
  ASSERT_TRUE(wait_until([&] { return program.text(IDC_COUNTER) == "5/15"; }));
  program.click(IDC_WRITE_CARD);
  program.expect_box("Warning",
                     "Do you want to write only the differences from the last read ?\n(Click 'No' to write the "
                     "entire Memory Card.)",
                     IDYES);
  CardImage expected = sample_card();
  set_state(expected, 0, 0xA1);
  ASSERT_TRUE(wait_until([&] { return real_card() == card_bytes(expected) && program.window_enabled(); }));
  // The card read before the write is kept.
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(folder.path("appdata\\Quillcrest\\backups\\*.mcr").c_str(), &found);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  FindClose(search);
  EXPECT_EQ(read_file(folder.path("appdata\\Quillcrest\\backups\\") + found.cFileName), card_bytes(sample_card()));
}

INSTANTIATE_TEST_SUITE_P(EachReader, WindowSerialReader,
                         testing::Values(SerialCase{"memcarduino", "COM9", "QUILLCREST_TEST_MEMCARDUINO_STATE"},
                                         SerialCase{"dexdrive", "COM8", "QUILLCREST_TEST_DEXDRIVE_STATE"},
                                         SerialCase{"ps1cardlink", "COM7", "QUILLCREST_TEST_PS1CARDLINK_STATE", 2}),
                         [](const testing::TestParamInfo<SerialCase>& info) {
                           const std::string kind = info.param.kind;
                           return kind == "dexdrive" ? "DexDrive" : kind == "ps1cardlink" ? "PS1CardLinkSlot2" : "MemCARDuino";
                         });

// A reader kept from an earlier run whose port is gone: the job's message
// names it and its port.
TEST(WindowSerialReaderGone, IsNamedWithItsPortWhenAJobStarts) {
  store_reader("memcarduino:COM42");
  {
    Program program("quillcrest.exe", {}, true);
    ASSERT_TRUE(wait_until([&] { return program.window_visible(); }));
    program.click(IDC_READ_CARD);
    program.expect_box("Error", "MemCARDuino on COM42: there is no such serial port.");
    ASSERT_TRUE(wait_until([&] { return program.window_enabled(); }));
    EXPECT_EQ(program.text(IDC_COUNTER), "0/15");
  }
}

}  // namespace
