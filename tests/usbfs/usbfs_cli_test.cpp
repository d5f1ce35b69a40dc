// The real quillcrest-cli, with Debian's libusb, against the emulated adaptor
// at the usbfs level: libusb must find the adaptor by its descriptors, claim
// interface 0 and carry the bulk transfers of whole jobs.
#include <gtest/gtest.h>

#include <string>

#include "adaptor/emulator/usb_emulator.h"
#include "tests/cli/run_program.h"
#include "tests/files/temp_folder.h"
#include "tests/support/card_maker.h"
#include "tests/usbfs/usbfs_adaptor.h"

namespace {

CardImage card_with_a_save() {
  CardImage card = blank_card();
  SaveSpec save;
  save.blocks = 2;
  add_save(card, save);
  return card;
}

TEST(RealLibusb, TheCommandReadsAndWritesThroughUsbfs) {
  const CardImage on_card = card_with_a_save();
  UsbfsAdaptor adaptor(on_card);
  std::string why;
  ASSERT_TRUE(adaptor.ready(why)) << why;
  TempFolder folder;

  ProgramRun run = run_program(QUILLCREST_CLI, {"read", folder.path("backup.mcr")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(read_file(folder.path("backup.mcr")), card_bytes(on_card));
  EXPECT_EQ(emulator_counts().detects, 1);
  EXPECT_EQ(emulator_counts().reads, 1024);

  // One block changed: the differences go in one run and are read back.
  CardImage changed = on_card;
  for (int f = 128; f < 192; ++f) frame(changed, f)[7] ^= 0x81;
  write_file(folder.path("changed.mcr"), card_bytes(changed));
  const std::map<std::string, std::string> data_home = {{"XDG_DATA_HOME", folder.path("data")}};
  run = run_program(QUILLCREST_CLI, {"write", folder.path("changed.mcr")}, data_home);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.substr(run.out.find('\n') + 1), "Wrote 64 frames, verified 64.\n");
  const std::vector<std::string> backup = {"write", run.out.substr(24, run.out.find(".\n") - 24)};
  EXPECT_EQ(emulated_card().bytes, changed.bytes);
  EXPECT_EQ(emulator_counts().detects, 1 + 3);
  EXPECT_EQ(emulator_counts().reads, 1024 + 1024 + 64);
  EXPECT_EQ(emulator_counts().writes, 64);
  EXPECT_EQ(emulator_counts().bad, 0);
  EXPECT_EQ(read_file(backup[1]), card_bytes(on_card));

  run = run_program(QUILLCREST_CLI, backup, data_home);  // restores it
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(emulated_card().bytes, on_card.bytes);

  run = run_program(QUILLCREST_CLI, {"list", "--adaptor"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.substr(0, 9), "1\tsave\t2\t");
}

}  // namespace
