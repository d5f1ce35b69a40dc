// quillcrest-cli.exe under Wine: what is Windows' own in it (the Shift-JIS
// conversion, replacing a file in place, the console's bytes) gives what the
// Linux build gives.
#include <gtest/gtest.h>

#include <windows.h>

#include <thread>

#include "tests/e2e/driver.h"
#include "tests/e2e/e2e_cards.h"

namespace {

struct CliRun {
  DWORD status = 99;
  std::string out, err;
};

std::string file_text(const std::string& path) {
  const Bytes bytes = read_file(path);
  return std::string(bytes.begin(), bytes.end());
}

CliRun run_cli(const TempFolder& folder, const std::string& exe, const std::string& arguments,
               const std::map<std::string, std::string>& environment = {}) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  // Files of their own for each run: Wine may still be ending the last
  // program, which holds its files open a moment after it was seen to exit.
  static int runs = 0;
  const std::string name = "cli-" + std::to_string(++runs);
  const std::string out_path = folder.path(name + ".out"), err_path = folder.path(name + ".err");
  HANDLE out = CreateFileA(out_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
  HANDLE err = CreateFileA(err_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
  CliRun run;
  if (out == INVALID_HANDLE_VALUE || err == INVALID_HANDLE_VALUE) {
    ADD_FAILURE() << "cannot create " << out_path << " or " << err_path;
    return run;
  }
  for (const auto& [name, value] : environment) SetEnvironmentVariableA(name.c_str(), value.c_str());
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION process = {};
  std::string command = "\"" + build_folder() + "\\" + exe + "\" " + arguments;
  if (CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                     nullptr, &startup, &process)) {
    WaitForSingleObject(process.hProcess, kPatienceMs);
    GetExitCodeProcess(process.hProcess, &run.status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  for (const auto& [name, value] : environment) SetEnvironmentVariableA(name.c_str(), nullptr);
  CloseHandle(out);
  CloseHandle(err);
  run.out = file_text(out_path);
  run.err = file_text(err_path);
  return run;
}

TEST(CommandLine, ListsConvertsAndReplacesFilesAsOnLinux) {
  TempFolder folder;
  const std::string card = folder.path("card.mcr");
  write_file(card, card_bytes(sample_card()));
  CliRun run = run_cli(folder, "quillcrest-cli.exe", "list \"" + card + "\"");
  EXPECT_EQ(run.status, 0u) << run.err;
  EXPECT_NE(run.out.find("\n2\tsave\t2\t2 Blocks, Japan, SLPS-00001 : PocketStation : GAME\t"
                         "BISLPSP00001GAME\t\xE3\x83\x9D\xE3\x82\xB1\xE3\x83\x83\xE3\x83\x88\n3\tmore\tof 2\n"),
            std::string::npos)
      << run.out;
  EXPECT_EQ(run.out.find('\r'), std::string::npos);

  // In place: the new card replaces the old file, also while another program
  // (a virus scanner, say) holds the old one open for a moment.
  HANDLE scanner = CreateFileA(card.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
  std::thread scanned([scanner] {
    Sleep(500);
    CloseHandle(scanner);
  });
  run = run_cli(folder, "quillcrest-cli.exe", "delete \"" + card + "\" 3");
  scanned.join();
  EXPECT_EQ(run.status, 0u) << run.err;
  CardImage expected = sample_card();
  set_state(expected, 1, 0xA1);
  set_state(expected, 2, 0xA3);
  EXPECT_EQ(read_file(card), card_bytes(expected));

  SaveSpec big;
  big.blocks = 14;
  write_file(folder.path("big.mcs"), mcs_file(big));
  run = run_cli(folder, "quillcrest-cli.exe", "import \"" + card + "\" \"" + folder.path("big.mcs") + "\"");
  EXPECT_EQ(run.status, 1u) << run.out;
  EXPECT_EQ(run.err, "quillcrest-cli: " + card +
                         ": Not enough space on the current Memory Card to import this file !\nYou need 14 free "
                         "blocks.\n");
  EXPECT_EQ(read_file(card), card_bytes(expected));

  // The emulated build reaches the card in its emulated adaptor.
  run = run_cli(folder, "quillcrest-cli-emulated.exe", "read \"" + folder.path("read.mcr") + "\"",
                {{"QUILLCREST_EMULATED_CARD", card}});
  EXPECT_EQ(run.status, 0u) << run.err;
  EXPECT_EQ(read_file(folder.path("read.mcr")), card_bytes(expected));
}

}  // namespace
