#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <sstream>
#include <vector>

#include "resources/resource_ids.h"
#include "tests/e2e/saves_fixture.h"

namespace {

const char kPartial[] = "Only partial data was read from Memory Card !\n\nPlease desactivate the Fast Read option.";
const char kDifferences[] =
    "Do you want to write only the differences from the last read ?\n(Click 'No' to write the entire Memory Card.)";

struct Counts {
  int detects = -1, reads = -1, writes = -1, bad = -1;
  std::string written;
};

// A program whose adaptor is emulated, holding `card`, with optional faults.
class Adaptor : public ::testing::Test {
 protected:
  std::unique_ptr<Program> start(const CardImage& card, const std::string& faults = "",
                                 int delay_ms = 0) {
    write_file(folder.path("real-card.mcr"), card_bytes(card));
    return std::make_unique<Program>(
        "quillcrest-emulated.exe",
        std::map<std::string, std::string>{{"QUILLCREST_EMULATED_CARD", folder.path("real-card.mcr")},
                                           {"QUILLCREST_EMULATED_STATE", state_path()},
                                           {"QUILLCREST_EMULATED_FAULT", faults},
                                           {"QUILLCREST_EMULATED_DELAY_MS", std::to_string(delay_ms)},
                                           {"LOCALAPPDATA", local_app_data}});
  }
  // The backups the program kept, oldest first (their names sort by time).
  std::vector<Bytes> backups() const {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    const std::string folder_path = local_app_data + "\\Quillcrest\\backups";
    HANDLE search = FindFirstFileA((folder_path + "\\*.mcr").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do names.push_back(found.cFileName);
      while (FindNextFileA(search, &found));
      FindClose(search);
    }
    std::sort(names.begin(), names.end());
    std::vector<Bytes> files;
    for (const std::string& name : names) files.push_back(read_file(folder_path + "\\" + name));
    return files;
  }
  std::string state_path() const { return folder.path("adaptor-state"); }
  Counts counts() const {
    Counts c;
    for (int attempt = 0; attempt < 100; ++attempt) {
      const Bytes bytes = read_file(state_path() + ".counts");
      std::istringstream in(std::string(bytes.begin(), bytes.end()));
      std::string key, value;
      Counts seen;
      bool complete = false;
      while (in >> key) {
        if (key == "end") { complete = true; break; }
        in >> value;
        if (key == "detects") seen.detects = std::stoi(value);
        if (key == "reads") seen.reads = std::stoi(value);
        if (key == "writes") seen.writes = std::stoi(value);
        if (key == "bad") seen.bad = std::stoi(value);
        if (key == "written") seen.written = value == "end" ? "" : value;
        if (value == "end") { complete = true; break; }
      }
      if (complete) return seen;
      Sleep(10);
    }
    return c;
  }
  Bytes real_card() const { return read_file(state_path()); }
  int progress(const Program& program) const {
    return int(SendMessageA(program.control(IDC_PROGRESS), PBM_GETPOS, 0, 0));
  }
  // Reads the card, whole or fast, and waits for the job to end.
  void read(Program& program, bool card_loaded = false) {
    const int frames = program.checked(IDC_FAST_READ) ? 16 + 15 * 4 : 1024;
    const int before = std::max(counts().reads, 0);
    program.click(IDC_READ_CARD);
    if (card_loaded) program.expect_box("Warning", kLoss, IDYES);
    ASSERT_TRUE(wait_until([&] { return counts().reads == before + frames; }));
    ASSERT_TRUE(wait_until([&] { return program.window_enabled(); }));
  }
  // After a read of the sample card: DEMO deleted, and only that written.
  void delete_demo_and_write_it(Program& program) {
    program.click_static(IDC_FIRST_SLOT);
    ASSERT_TRUE(wait_until([&] { return program.text(IDC_TITLE) == "DEMO"; }));
    program.click(IDC_DELETE_SAVE);
    ASSERT_TRUE(wait_until([&] { return program.text(IDC_COUNTER) == "5/15"; }));
    program.click(IDC_WRITE_CARD);
    program.expect_box("Warning", kDifferences, IDYES);
    ASSERT_TRUE(wait_until([&] { return program.window_enabled() && counts().writes == 1; }));
  }
  TempFolder folder;
  std::string local_app_data = folder.path("appdata");
};

TEST_F(Adaptor, TheRealProgramWithoutAnAdaptorSaysSoAndStillOpensFiles) {
  TempFolder files;
  write_file(files.path("sample.mcr"), card_bytes(sample_card()));
  Program program("quillcrest.exe", {}, true);
  const MessageBoxSeen box = program.wait_box();
  EXPECT_EQ(box.caption, "USB Error");
  EXPECT_EQ(box.text, "PS3 Memory Card Adaptator USB Device not found.");
  EXPECT_FALSE(program.window_visible());
  program.answer(box, IDOK);
  ASSERT_TRUE(wait_until([&] { return program.window_visible(); }));
  EXPECT_FALSE(program.enabled(IDC_READ_CARD));
  EXPECT_FALSE(program.enabled(IDC_WRITE_CARD));
  open_card(program, files.path("sample.mcr"));
  EXPECT_TRUE(wait_until([&] { return program.text(IDC_COUNTER) == "6/15"; }));
  EXPECT_FALSE(program.enabled(IDC_READ_CARD));
}

TEST_F(Adaptor, StartUpFailuresAreReportedBeforeTheWindow) {
  const std::pair<const char*, const char*> cases[] = {
      {"init-fails", "Error initialising libusb."},
      {"no-device", "PS3 Memory Card Adaptator USB Device not found."},
      {"claim-fails", "Cannot claim USB interface."},
  };
  for (const auto& [fault, text] : cases) {
    write_file(folder.path("real-card.mcr"), card_bytes(blank_card()));
    Program program("quillcrest-emulated.exe", {{"QUILLCREST_EMULATED_FAULT", fault}}, true);
    const MessageBoxSeen box = program.wait_box();
    EXPECT_EQ(box.caption, "USB Error");
    EXPECT_EQ(box.text, text);
    program.answer(box, IDOK);
    ASSERT_TRUE(wait_until([&] { return program.window_visible(); }));
    EXPECT_FALSE(program.enabled(IDC_READ_CARD)) << fault;
    EXPECT_FALSE(program.enabled(IDC_WRITE_CARD)) << fault;
  }
}

TEST_F(Adaptor, AFullReadDisablesTheWindowShowsProgressAndTheSaves) {
  auto program = start(sample_card(), "", 2);  // about two seconds for 1025 exchanges
  EXPECT_TRUE(program->enabled(IDC_READ_CARD));
  program->click(IDC_READ_CARD);
  EXPECT_TRUE(wait_until([&] { return !program->window_enabled(); }));
  EXPECT_TRUE(wait_until([&] { const int p = progress(*program); return p > 100 && p < 1000; }))
      << "the progress bar did not move";
  EXPECT_FALSE(program->window_enabled());
  ASSERT_TRUE(wait_until([&] { return program->window_enabled(); }));
  EXPECT_EQ(progress(*program), 1024);
  EXPECT_EQ(program->text(IDC_COUNTER), "6/15");
  EXPECT_FALSE(program->find_box());
  const Counts c = counts();
  EXPECT_EQ(c.detects, 1);
  EXPECT_EQ(c.reads, 1024);
  EXPECT_EQ(c.writes, 0);
  EXPECT_EQ(c.bad, 0);
  program->click_static(IDC_FIRST_SLOT + 3);
  EXPECT_TRUE(wait_until([&] { return program->text(IDC_INFO) == "3 Blocks, Europe, SCES-00344 : RACE"; }));
}

TEST_F(Adaptor, WritingBackSendsOnlyWhatChangedOrEverythingWhenAsked) {
  auto program = start(sample_card());
  read(*program);
  ASSERT_EQ(program->text(IDC_COUNTER), "6/15");

  program->click(IDC_WRITE_CARD);
  program->expect_box("Warning", "No change made in the Memory Card since the last read.");
  EXPECT_EQ(counts().writes, 0);

  delete_demo_and_write_it(*program);
  EXPECT_EQ(counts().written, "1");  // the directory frame of slot 0
  CardImage expected = sample_card();
  set_state(expected, 0, 0xA1);
  EXPECT_EQ(real_card(), card_bytes(expected));
  EXPECT_EQ(backups(), std::vector<Bytes>({card_bytes(sample_card())}));  // the card before the write

  program->click(IDC_WRITE_CARD);
  program->expect_box("Warning", "No change made in the Memory Card since the last read.");

  TempFolder files;
  write_file(files.path("blank.mcr"), card_bytes(blank_card()));
  open_card(*program, files.path("blank.mcr"), true);
  ASSERT_TRUE(wait_until([&] { return program->text(IDC_COUNTER) == "0/15"; }));
  program->click(IDC_WRITE_CARD);  // an opened file has no last read: everything, unasked
  ASSERT_TRUE(wait_until([&] { return program->window_enabled() && counts().writes == 1 + 1024; }));
  EXPECT_FALSE(program->find_box());
  EXPECT_EQ(counts().detects, 1 + 1 + 1024);
  EXPECT_EQ(real_card(), card_bytes(blank_card()));
  EXPECT_EQ(backups().size(), 1u);  // an opened file: nothing known of the card to keep
}

// A fake card holding 64 KB: the read says so, in the command line's words,
// and a write onto it asks first.
TEST_F(Adaptor, AFake64KbCardIsToldAfterTheReadAndBeforeAWrite) {
  const char kHalves[] =
      "The card's second 64 KB answer the same bytes as its first: it holds 64 KB, not 128 KB, as fake cards do. "
      "Slot 8 is its directory again and slots 9 to 15 are slots 1 to 7, so a save written to slots 8 to 15 "
      "destroys the directory or the saves in slots 1 to 7.";
  auto program = start(sample_card(), "half-size");
  program->click(IDC_READ_CARD);
  ASSERT_TRUE(wait_until([&] { return counts().reads == 1024; }));
  program->expect_box("Warning", kHalves);
  program->click_static(IDC_FIRST_SLOT);
  ASSERT_TRUE(wait_until([&] { return program->text(IDC_TITLE) == "DEMO"; }));
  program->click(IDC_DELETE_SAVE);
  ASSERT_TRUE(wait_until([&] { return program->window_enabled() && program->text(IDC_TITLE).empty(); }));
  program->click(IDC_WRITE_CARD);
  program->expect_box("Warning", std::string(kHalves) + "\n\nWrite to the card all the same ?", IDNO);
  program->fence();
  EXPECT_EQ(counts().writes, 0);
  // Answered Yes, the write goes on as any other.
  program->click(IDC_WRITE_CARD);
  program->expect_box("Warning", std::string(kHalves) + "\n\nWrite to the card all the same ?", IDYES);
  program->expect_box("Warning", kDifferences, IDYES);
  ASSERT_TRUE(wait_until([&] { return program->window_enabled() && counts().writes > 0; }));
  // A sound card says nothing.
  program.reset();
  program = start(sample_card());
  read(*program);
  program->fence();
  EXPECT_FALSE(program->find_box());
}

TEST_F(Adaptor, AnsweringNoWritesTheWholeCard) {
  auto program = start(sample_card());
  read(*program);
  program->click(IDC_NEW_CARD);
  program->expect_box("Warning", kLoss, IDYES);
  ASSERT_TRUE(wait_until([&] { return program->text(IDC_COUNTER) == "0/15"; }));
  program->click(IDC_READ_CARD);
  program->expect_box("Warning", kLoss, IDYES);
  ASSERT_TRUE(wait_until([&] { return program->text(IDC_COUNTER) == "6/15" && program->window_enabled(); }));
  program->click_static(IDC_FIRST_SLOT + 1);
  ASSERT_TRUE(wait_until([&] { return program->text(IDC_SAVE_GROUP) == "BISLPSP00001GAME"; }));
  program->click(IDC_DELETE_SAVE);
  ASSERT_TRUE(wait_until([&] { return program->text(IDC_COUNTER) == "4/15"; }));
  program->click(IDC_WRITE_CARD);
  program->expect_box("Warning", kDifferences, IDNO);
  ASSERT_TRUE(wait_until([&] { return counts().writes > 100; }));
  EXPECT_FALSE(program->window_enabled());  // all through the job
  ASSERT_TRUE(wait_until([&] { return program->window_enabled() && counts().writes == 1024; }));
  EXPECT_EQ(progress(*program), 1024);
  EXPECT_EQ(backups(), std::vector<Bytes>({card_bytes(sample_card())}));
}

// The backup taken before a write, chosen in "Backups...", opened and
// written back: the card is as it was before the write.
TEST_F(Adaptor, ABackupChosenFromTheListIsOpenedAndWrittenBack) {
  auto program = start(sample_card());
  read(*program);
  delete_demo_and_write_it(*program);
  program->type_keys({VK_CONTROL, 'Z'});  // the card as written starts a new history
  program->fence();
  EXPECT_EQ(program->text(IDC_COUNTER), "5/15");

  program->choose_system_menu_item(kBackups);
  HWND dialog = program->wait_dialog("Backups");
  ASSERT_TRUE(dialog);
  HWND list = GetDlgItem(dialog, IDC_BACKUP_LIST);
  ASSERT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 1);
  wchar_t line[64] = {};  // Wine garbles the ANSI text between processes
  SendMessageW(list, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(line));
  EXPECT_EQ(std::wstring(line).size(), std::string("2025-01-31 14:05:09\t6/15").size()) << line;
  EXPECT_EQ(std::wstring(line).substr(std::min<size_t>(19, std::wstring(line).size())), L"\t6/15");
  post_click(GetDlgItem(dialog, IDC_SHOW_FOLDER));
  HWND explorer = nullptr;
  EXPECT_TRUE(wait_until([&] { return (explorer = other_window(program->process_id(), "backups")) != nullptr; }))
      << "no Explorer window showed the folder";
  if (explorer) {
    EXPECT_TRUE(close_other_window(explorer));
  }
  post_click(GetDlgItem(dialog, IDOK));
  program->expect_box("Warning", kLoss, IDYES);
  ASSERT_TRUE(wait_until([&] { return program->text(IDC_COUNTER) == "6/15"; }));
  program->click(IDC_WRITE_CARD);  // an opened file: the whole card, unasked
  ASSERT_TRUE(wait_until([&] { return program->window_enabled() && counts().writes == 1 + 1024; }));
  EXPECT_EQ(real_card(), card_bytes(sample_card()));
}

// Where no backup can be kept, nothing is written, and the window says why.
TEST_F(Adaptor, AWriteWithoutItsBackupDoesNotStart) {
  write_file(folder.path("occupied"), Bytes(1));
  local_app_data = folder.path("occupied");
  auto program = start(sample_card());
  read(*program);
  program->click_static(IDC_FIRST_SLOT);
  ASSERT_TRUE(wait_until([&] { return program->text(IDC_TITLE) == "DEMO"; }));
  program->click(IDC_DELETE_SAVE);
  program->click(IDC_WRITE_CARD);
  program->expect_box("Warning", kDifferences, IDYES);
  program->expect_box("Error", "Cannot back up the Memory Card into " + folder.path("occupied") +
                                   "\\Quillcrest\\backups: the folder cannot be made. Nothing was written to the card.");
  ASSERT_TRUE(wait_until([&] { return program->window_enabled(); }));
  EXPECT_EQ(counts().writes, 0);
  EXPECT_EQ(real_card(), card_bytes(sample_card()));
}

TEST_F(Adaptor, FailedReadsLeaveTheCardAndTheViewAsTheyWere) {
  CardImage real = sample_card();
  auto program = start(real, "short@500");
  TempFolder files;
  CardImage shown = blank_card();
  add_save(shown, SaveSpec{});
  write_file(files.path("shown.mcr"), card_bytes(shown));
  open_card(*program, files.path("shown.mcr"));
  ASSERT_TRUE(wait_until([&] { return program->text(IDC_COUNTER) == "1/15"; }));
  program->click(IDC_READ_CARD);
  program->expect_box("Warning", kLoss, IDYES);
  program->expect_box("Error", "Read Error.");
  ASSERT_TRUE(wait_until([&] { return program->window_enabled(); }));
  EXPECT_EQ(progress(*program), 500);  // the bar stays at the failing frame
  EXPECT_EQ(program->text(IDC_COUNTER), "1/15");
  const Counts c = counts();
  EXPECT_EQ(c.reads, 501);
  program->click(IDC_SAVE_CARD);
  program->choose_file(files.path("after.mcr"));
  ASSERT_TRUE(wait_until([&] { return read_file(files.path("after.mcr")).size() == kCardSize; }));
  EXPECT_EQ(read_file(files.path("after.mcr")), card_bytes(shown));
}

TEST_F(Adaptor, NoCardAndFailedWritesAreReported) {
  {
    auto program = start(sample_card(), "no-card");
    program->click(IDC_READ_CARD);
    program->expect_box("Error", "No PS1 Memory Card Detected.");
    ASSERT_TRUE(wait_until([&] { return program->window_enabled(); }));
    EXPECT_EQ(counts().reads, 0);
    EXPECT_EQ(program->text(IDC_COUNTER), "0/15");
  }
  auto writer = start(sample_card(), "short@300");
  writer->click(IDC_NEW_CARD);
  ASSERT_TRUE(wait_until([&] { return writer->text(IDC_COUNTER) == "0/15"; }));
  writer->click(IDC_WRITE_CARD);
  writer->expect_box("Error", "Write Error");
  ASSERT_TRUE(wait_until([&] { return writer->window_enabled(); }));
  EXPECT_EQ(counts().writes, 300 + 4);
}

TEST_F(Adaptor, AfterAFastReadNothingIsWrittenOutUntilCompleteDataReplacesIt) {
  auto program = start(sample_card());
  program->click_and_finish(IDC_FAST_READ);
  read(*program);
  ASSERT_EQ(program->text(IDC_COUNTER), "6/15");
  EXPECT_EQ(counts().reads, 16 + 15 * 4);
  program->click_static(IDC_FIRST_SLOT);
  ASSERT_TRUE(wait_until([&] { return program->text(IDC_TITLE) == "DEMO"; }));
  for (int id : {IDC_WRITE_CARD, IDC_SAVE_CARD, IDC_EXPORT_SAVE}) {
    program->click(id);
    program->expect_box("Error", kPartial);
  }
  // Going on past the question without new data keeps the refusal.
  program->click(IDC_OPEN_CARD);
  program->expect_box("Warning", kLoss, IDYES);
  program->cancel_file_dialog();
  program->click(IDC_SAVE_CARD);
  program->expect_box("Error", kPartial);

  program->click_and_finish(IDC_READ_ALL);
  read(*program, true);
  program->click(IDC_WRITE_CARD);
  program->expect_box("Warning", "No change made in the Memory Card since the last read.");
}

TEST_F(Adaptor, AfterAFailedWriteTheNextDifferenceWriteSendsWhatTheCardStillLacks) {
  // Frame 448 starts block 7, where the import below lands; the card
  // refuses its first four writes, so the first write job stops there.
  auto program = start(sample_card(), "refused@448*4");
  read(*program);
  SaveSpec save;
  save.seed = 0x90;
  write_file(folder.path("one.mcs"), mcs_file(save));
  import_file(*program, folder.path("one.mcs"));
  ASSERT_TRUE(wait_until([&] { return program->text(IDC_COUNTER) == "7/15"; }));
  program->click(IDC_WRITE_CARD);
  program->expect_box("Warning", kDifferences, IDYES);
  program->expect_box("Error", "Write Error");
  ASSERT_TRUE(wait_until([&] { return program->window_enabled(); }));
  EXPECT_EQ(counts().written, "7");  // the directory frame went through

  program->click(IDC_WRITE_CARD);
  program->expect_box("Warning", kDifferences, IDYES);
  // Frames 448, 449 and 452..511 differ; frame 7 is on the card already.
  const size_t expected_length = std::string("7,448,449").size() + 60 * 4;
  ASSERT_TRUE(wait_until([&] { return counts().written.size() == expected_length; })) << counts().written;
  ASSERT_TRUE(wait_until([&] { return program->window_enabled(); }));
  EXPECT_FALSE(program->find_box());
  const std::string written = counts().written;
  EXPECT_EQ(written.substr(0, 6), "7,448,");  // frame 7 was not sent again
  const Bytes real = real_card(), shown = card_saved_as(*program, folder.path("after.mcr"));
  ASSERT_EQ(real.size(), shown.size());
  EXPECT_TRUE(real == shown) << "first difference at frame "
                             << (std::mismatch(real.begin(), real.end(), shown.begin()).first - real.begin()) / 128
                             << "; the card got frames " << written;
  program->click(IDC_WRITE_CARD);
  program->expect_box("Warning", "No change made in the Memory Card since the last read.");
}

// While a job runs, nothing ends the program, and the window repaints whole.
TEST_F(Adaptor, AWriteCannotBeCutShortAndTheWindowRepaintsThroughIt) {
  auto program = start(blank_card(), "", 2);  // about four seconds for a full write
  TempFolder files;
  write_file(files.path("sample.mcr"), card_bytes(sample_card()));
  open_card(*program, files.path("sample.mcr"));
  ASSERT_TRUE(wait_until([&] { return program->text(IDC_COUNTER) == "6/15"; }));
  program->click_static(IDC_FIRST_SLOT + 1);
  ASSERT_TRUE(shows(*program, slot_frame, 2, kFrameGreen));
  program->click(IDC_WRITE_CARD);  // an opened file: the whole card, unasked
  ASSERT_TRUE(wait_until([&] { return counts().writes > 50; }));

  DWORD_PTR answer = TRUE;
  ASSERT_TRUE(SendMessageTimeoutA(program->window(), WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, 5000, &answer));
  EXPECT_FALSE(answer) << "the session may end in the middle of a write";
  PostMessageA(program->window(), WM_CLOSE, 0, 0);
  PostMessageA(program->window(), WM_SYSCOMMAND, SC_CLOSE, 0);
  ASSERT_TRUE(cover_and_uncover(*program));
  EXPECT_TRUE(shows(*program, slot_colour, 0, kRed));
  EXPECT_TRUE(shows(*program, slot_frame, 2, kFrameGreen));
  EXPECT_FALSE(program->window_enabled());

  ASSERT_TRUE(wait_until([&] { return program->window_enabled(); }, 20000));
  EXPECT_TRUE(program->running());
  EXPECT_EQ(counts().writes, 1024);
  EXPECT_EQ(real_card(), card_bytes(sample_card()));
  EXPECT_TRUE(shows(*program, slot_colour, 0, kRed));
  EXPECT_TRUE(shows(*program, slot_frame, 1, kFrameGreen));

  // Idle again: the session may end, and the close box ends the program.
  ASSERT_TRUE(SendMessageTimeoutA(program->window(), WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, 5000, &answer));
  EXPECT_TRUE(answer);
  PostMessageA(program->window(), WM_CLOSE, 0, 0);
  EXPECT_EQ(program->wait_exit(), std::optional<DWORD>(0));
}

}  // namespace
