// The MemCARDuino, DexDrive and PS1CardLink links through the real serial code, against
// emulated readers on a pseudo-terminal; first the emulated readers
// themselves, given commands spelled out byte by byte from their protocols.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "adaptor/emulator/pty_reader.h"
#include "adaptor/serial_port.h"
#include "adaptor/transfer_jobs.h"
#include "tests/adaptor/emulated_adaptor.h"
#include "tests/files/temp_folder.h"
#include "tests/support/card_maker.h"

namespace {

const ReaderKind kSerialKinds[] = {ReaderKind::memcarduino, ReaderKind::dexdrive, ReaderKind::ps1cardlink};

Bytes answer(SerialReaderDevice& device, const Bytes& sent, int speed) {
  Bytes out;
  serial_device_receive(device, sent.data(), sent.size(), speed, 0, out);
  return out;
}

uint8_t xor_of(const uint8_t* bytes, size_t count, uint8_t start = 0) {
  for (size_t i = 0; i < count; ++i) start ^= bytes[i];
  return start;
}

Bytes frame_bytes(const CardImage& card, int f) { return Bytes(frame(card, f), frame(card, f) + 128); }

TEST(EmulatedSerialReaders, AnswerTheBytesOfTheirProtocols) {
  const CardImage card = stamped_card(5);
  SerialReaderDevice mcd;
  reset_serial_device(mcd, ReaderKind::memcarduino, card, {});
  EXPECT_EQ(answer(mcd, {0xA0}, 115200), Bytes({'M', 'C', 'D', 'I', 'N', 'O'}));
  EXPECT_EQ(answer(mcd, {0xA1}, 115200), Bytes({0x04}));
  Bytes read = frame_bytes(card, 0x123);
  read.push_back(xor_of(read.data(), 128, 0x01 ^ 0x23));
  read.push_back(0x47);
  EXPECT_EQ(answer(mcd, {0xA2, 0x01, 0x23}, 115200), read);
  Bytes write = {0xA3, 0x01, 0x23};
  write.resize(3 + 128, 0x5A);
  write.push_back(xor_of(write.data() + 3, 128, 0x01 ^ 0x23));
  EXPECT_EQ(answer(mcd, write, 115200), Bytes({0x47}));
  EXPECT_EQ(frame_bytes(mcd.card, 0x123), Bytes(128, 0x5A));
  write.back() ^= 1;
  EXPECT_EQ(answer(mcd, write, 115200), Bytes({0x4E}));
  EXPECT_TRUE(answer(mcd, {0xA0}, 38400).empty());  // noise at another speed

  SerialReaderDevice dex;
  reset_serial_device(dex, ReaderKind::dexdrive, card, {});
  const Bytes read_0x123 = {'I', 'A', 'I', 0x02, 0x23, 0x01};  // LSB first
  EXPECT_EQ(answer(dex, read_0x123, 38400), Bytes({'I', 'A', 'I', 0x20}));  // POUT until started
  Bytes init = {'I', 'A', 'I', 0x00};
  init.resize(4 + 17, 0x11);
  EXPECT_EQ(answer(dex, init, 38400), Bytes({'I', 'A', 'I', 0x40, 0x11, 'P', 'S', 'X', 0x46}));
  EXPECT_EQ(answer(dex, {'I', 'A', 'I', 0x27}, 38400), Bytes({'I', 'A', 'I', 0x21}));
  Bytes data = {'I', 'A', 'I', 0x41};
  const Bytes stored = frame_bytes(card, 0x123);
  data.insert(data.end(), stored.begin(), stored.end());
  data.push_back(xor_of(stored.data(), 128, 0x23 ^ 0x01));
  EXPECT_EQ(answer(dex, read_0x123, 38400), data);
  // MSB, LSB, then each with its bits reversed: 0x01 is 0x80, 0x23 is 0xC4.
  Bytes dex_write = {'I', 'A', 'I', 0x04, 0x01, 0x23, 0x80, 0xC4};
  dex_write.resize(8 + 128, 0x5A);
  dex_write.push_back(xor_of(dex_write.data() + 4, 4 + 128));
  EXPECT_EQ(answer(dex, dex_write, 38400), Bytes({'I', 'A', 'I', 0x28}));
  EXPECT_EQ(answer(dex, dex_write, 38400), Bytes({'I', 'A', 'I', 0x29}));  // the same bytes again
  dex_write[7] = 0x23;
  EXPECT_EQ(answer(dex, dex_write, 38400), Bytes({'I', 'A', 'I', 0x21}));

  // PS1CardLink: the MemCARDuino's commands, its own ID, and MCPORT (no reply).
  const CardImage second = stamped_card(6);
  SerialReaderDevice console;
  reset_serial_device(console, ReaderKind::ps1cardlink, card, {}, &second);
  EXPECT_EQ(answer(console, {0xA0}, 115200), Bytes({'P', 'S', '1', 'C', 'L', 'N', 'K'}));
  EXPECT_EQ(answer(console, {0xA1}, 115200), Bytes({0x11}));
  EXPECT_EQ(answer(console, {0xA2, 0x01, 0x23}, 115200), read);  // slot 1 at start
  EXPECT_TRUE(answer(console, {0xA4, 0x01}, 115200).empty());
  Bytes read_second = frame_bytes(second, 0x123);
  read_second.push_back(xor_of(read_second.data(), 128, 0x01 ^ 0x23));
  read_second.push_back(0x47);
  EXPECT_EQ(answer(console, {0xA2, 0x01, 0x23}, 115200), read_second);
  write.back() ^= 1;  // its CHK right again
  EXPECT_EQ(answer(console, write, 115200), Bytes({0x47}));
  EXPECT_EQ(frame_bytes(card_in_slot(console, 2), 0x123), Bytes(128, 0x5A));
  EXPECT_EQ(frame_bytes(card_in_slot(console, 1), 0x123), frame_bytes(card, 0x123));
  EXPECT_TRUE(answer(console, {0xA4, 0x07}, 115200).empty());  // no such slot: the choice stays
  EXPECT_EQ(answer(console, {0xA2, 0x01, 0x23}, 115200).size(), 130u);
  EXPECT_EQ(answer(console, {0x55}, 115200), Bytes({0xE0}));
  EXPECT_TRUE(answer(console, {0xA0}, 38400).empty());  // 115200 bit/s only
  EXPECT_EQ(answer(mcd, {0xA4, 0x01}, 115200), Bytes({0xE0, 0xE0}));  // no MCPORT on a MemCARDuino
}

TEST(ReaderForms, NameEachReaderAndReadBackAsTheyWereWritten) {
  const std::optional<ReaderChoice> console = parse_reader("ps1cardlink:COM3:2");
  ASSERT_TRUE(console);
  EXPECT_EQ(console->kind, ReaderKind::ps1cardlink);
  EXPECT_EQ(console->port, "COM3");
  EXPECT_EQ(console->slot, 2);
  EXPECT_EQ(reader_name(*console), "PS1CardLink on COM3, slot 2");
  EXPECT_EQ(parse_reader("ps1cardlink:/dev/ttyUSB0")->slot, 1);
  EXPECT_EQ(reader_name(*parse_reader("ps1cardlink:/dev/ttyUSB0:1")), "PS1CardLink on /dev/ttyUSB0");
  for (const char* form : {"ps1cardlink:COM3:2", "ps1cardlink:/dev/ttyUSB0", "memcarduino:COM4@38400", "dexdrive:COM1", "ps3"})
    EXPECT_EQ(reader_text(*parse_reader(form)), form);
  for (const char* wrong : {"ps1cardlink:COM3:3", "ps1cardlink:COM3@38400", "ps1cardlink:", "ps1cardlink:COM3:0"})
    EXPECT_FALSE(parse_reader(wrong)) << wrong;
}

// An emulated reader on a pseudo-terminal, chosen as the jobs' reader.
class SerialReader : public ::testing::Test {
 protected:
  void plug_in(ReaderKind kind, const CardImage& card, const std::string& fault_text = "", int baud = 0) {
    PtyReaderSetup setup;
    setup.kind = kind;
    setup.link_path = port_folder.path("ttyACM0");  // its by-id name, gone with the reader
    ASSERT_TRUE(parse_serial_faults(fault_text, setup.faults)) << fault_text;
    std::string why;
    ASSERT_TRUE(reader.start(card, setup, why)) << why;
    choice = ReaderChoice{kind, reader.path(), baud};
    use_reader(choice);
  }
  void TearDown() override { use_reader(ReaderChoice{}); }
  TempFolder port_folder;
  PtyReader reader;
  ReaderChoice choice;
};

TEST_F(SerialReader, OpeningFindsTheReaderOrSaysWhyNotNamingItsPort) {
  // A board that resets on open and runs the old firmware: found after its
  // boot, at the other speed.
  plug_in(ReaderKind::memcarduino, blank_card(), "slow-boot,only-38400");
  ASSERT_EQ(text_of(open_reader()), "");
  EXPECT_EQ(reader_found(), "firmware 4, 38400 bit/s");
  plug_in(ReaderKind::memcarduino, blank_card(), "only-38400", 38400);
  EXPECT_EQ(text_of(open_reader()), "");

  const auto started = std::chrono::steady_clock::now();
  plug_in(ReaderKind::memcarduino, blank_card(), "silent");
  EXPECT_EQ(text_of(open_reader()),
            "No MemCARDuino answers on " + reader.path() + " (tried at 115200 and at 38400 bit/s).");
  plug_in(ReaderKind::dexdrive, blank_card(), "silent");
  const std::string no_drive = "No DexDrive answers on " + reader.path() + ". It needs its own power";
  EXPECT_EQ(text_of(open_reader()).substr(0, no_drive.size()), no_drive);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
  plug_in(ReaderKind::dexdrive, blank_card(), "n64");
  EXPECT_EQ(text_of(open_reader()), "The DexDrive on " + reader.path() +
                                        " is the Nintendo 64 model: it reads N64 controller paks, not PS1 "
                                        "memory cards.");

  TempFolder folder;
  write_file(folder.path("card.mcr"), card_bytes(blank_card()));
  use_reader(ReaderChoice{ReaderKind::memcarduino, folder.path("card.mcr"), 0});
  EXPECT_EQ(text_of(open_reader()), "MemCARDuino on " + folder.path("card.mcr") + ": it is not a serial port.");
  use_reader(ReaderChoice{ReaderKind::dexdrive, folder.path("ttyUSB9"), 0});
  EXPECT_EQ(text_of(open_reader()), "DexDrive on " + folder.path("ttyUSB9") + ": there is no such serial port.");
}

// The console's two slots, each chosen by the job that uses it, whatever the
// pad chose meanwhile; and a PS1CardLink is no MemCARDuino, nor the other way round.
TEST_F(SerialReader, Ps1CardLinkReadsAndWritesTheSlotItIsToldAndIsNoMemcarduino) {
  const CardImage first = stamped_card(3), second = stamped_card(4);
  PtyReaderSetup setup;
  setup.kind = ReaderKind::ps1cardlink;
  setup.second_card = std::make_shared<CardImage>(second);
  std::string why;
  ASSERT_TRUE(reader.start(first, setup, why)) << why;
  for (int slot : {2, 1, 2}) {
    choice = ReaderChoice{ReaderKind::ps1cardlink, reader.path(), 0, slot};
    use_reader(choice);
    CardImage card = blank_card();
    ASSERT_EQ(text_of(read_card(card, false, {})), "") << slot;
    EXPECT_EQ(card.bytes, (slot == 1 ? first : second).bytes) << slot;
    EXPECT_EQ(reader_found(), "version 1.1, slot " + std::to_string(slot));
  }
  CardImage snapshot = second, changed = second;
  frame(changed, 200)[3] ^= 0xFF;
  ASSERT_EQ(text_of(write_card(changed, snapshot, true, {})), "");
  EXPECT_EQ(reader.card(2).bytes, changed.bytes);
  EXPECT_EQ(reader.card(1).bytes, first.bytes);

  use_reader(ReaderChoice{ReaderKind::memcarduino, reader.path(), 115200});
  EXPECT_EQ(text_of(open_reader()), "No MemCARDuino answers on " + reader.path() + " (tried at 115200 bit/s).");
  reader.stop();
  plug_in(ReaderKind::memcarduino, first);
  use_reader(ReaderChoice{ReaderKind::ps1cardlink, reader.path(), 0});
  EXPECT_EQ(text_of(open_reader()), "No PS1CardLink answers on " + reader.path() +
                                        " (at 115200 bit/s): is the console running it, showing \"Waiting for PC\"?");
}

TEST_F(SerialReader, WhatTheLineOrTheCardSpoiledOnceIsSentAgain) {
  const CardImage on_card = stamped_card(7);
  for (ReaderKind kind : kSerialKinds) {
    for (const char* fault : {"refused@70*1", "bad-checksum@70*3", "power-loss@300"}) {
      if (kind != ReaderKind::dexdrive && std::string(fault) == "power-loss@300") continue;
      plug_in(kind, on_card, fault);
      CardImage card = blank_card();
      EXPECT_EQ(text_of(read_card(card, false, {})), "") << fault;
      EXPECT_EQ(card.bytes, on_card.bytes) << fault;
      CardImage snapshot = on_card, changed = on_card;
      frame(changed, 70)[9] ^= 0xFF;
      frame(changed, 300)[9] ^= 0xFF;
      EXPECT_EQ(text_of(write_card(changed, snapshot, true, {})), "") << fault;
      EXPECT_EQ(reader.card().bytes, changed.bytes) << fault;
    }
  }
}

TEST_F(SerialReader, WhatLastsEndsTheJobInTheWindowsWordsLeavingTheCardAsItWas) {
  const CardImage on_card = stamped_card(7);
  const std::pair<const char*, const char*> cases[] = {
      {"refused@70", "Read Error."},
      {"no-card@5", "No PS1 Memory Card Detected."},
      {"short-data@300", "No PS1 Memory Card Detected."},  // pulled out during a read
      {"gone@500", "Read Error."},                          // the reader pulled out
  };
  for (ReaderKind kind : kSerialKinds) {
    for (const auto& [fault, text] : cases) {
      plug_in(kind, on_card, fault);
      CardImage card = blank_card();
      EXPECT_EQ(text_of(read_card(card, false, {})), text) << fault;
      EXPECT_EQ(card.bytes, blank_card().bytes) << fault;
    }
    // Gone for good: the next job names the port.
    EXPECT_EQ(text_of(begin_reader_job()), reader_name(choice) + ": there is no such serial port.");

    // A write stopped half-way: the snapshot still says what the card holds.
    plug_in(kind, on_card, "refused@70");
    CardImage snapshot = on_card;
    const CardImage changed = stamped_card(8);
    EXPECT_EQ(text_of(write_card(changed, snapshot, false, {})), "Write Error");
    EXPECT_EQ(reader.written(), frames_from(0, 69));
    EXPECT_EQ(snapshot.bytes, reader.card().bytes);
  }
}

// A tree laid out as /sys/class/tty: a CH340 on USB, a real and a phantom
// 8250 UART, a virtual terminal.
TEST(SerialPorts, AreListedWithTheUsbDeviceBehindThemAndWithoutPhantoms) {
  namespace fs = std::filesystem;
  TempFolder folder;
  const fs::path root = folder.path("sys"), tty = root / "class/tty";
  const fs::path usb = root / "devices/usb1/1-1", port = usb / "1-1:1.0/ttyUSB0";
  const fs::path pnp = root / "devices/pnp0/00:04", phantom = root / "devices/platform/serial8250";
  for (const fs::path& p : {port, pnp, phantom, root / "bus/pnp", root / "bus/platform",
                            root / "bus/usb-serial/drivers/ch341-uart", tty / "ttyUSB0", tty / "ttyS0",
                            tty / "ttyS4", tty / "tty1"})
    fs::create_directories(p);
  write_file((usb / "idVendor").string(), {'1', 'a', '8', '6', '\n'});
  write_file((usb / "idProduct").string(), {'7', '5', '2', '3', '\n'});
  write_file((usb / "manufacturer").string(), {'Q', 'i', 'n', 'H', 'e', 'n', 'g'});
  write_file((usb / "product").string(), {'U', 'S', 'B', ' ', 'S', 'e', 'r', 'i', 'a', 'l'});
  fs::create_directory_symlink(root / "bus/usb-serial/drivers/ch341-uart", port / "driver");
  fs::create_directory_symlink(root / "bus/pnp", pnp / "subsystem");
  fs::create_directory_symlink(root / "bus/platform", phantom / "subsystem");
  fs::create_directory_symlink(port, tty / "ttyUSB0/device");
  fs::create_directory_symlink(pnp, tty / "ttyS4/device");
  fs::create_directory_symlink(phantom, tty / "ttyS0/device");

  const std::vector<SerialPortInfo> ports = list_serial_ports_in(tty.string());
  ASSERT_EQ(ports.size(), 2u);
  EXPECT_EQ(ports[0].name, "/dev/ttyS4");
  EXPECT_EQ(ports[0].vendor, -1);
  EXPECT_EQ(ports[1].name, "/dev/ttyUSB0");
  EXPECT_EQ(ports[1].vendor, 0x1a86);
  EXPECT_EQ(ports[1].product, 0x7523);
  EXPECT_EQ(ports[1].description, "QinHeng USB Serial (ch341-uart)");
}

}  // namespace
