// The emulated adaptor is what every other adaptor test trusts, so it is
// driven here through the raw libusb calls with commands spelled out byte by byte.
#include "adaptor/emulator/usb_emulator.h"

#include <gtest/gtest.h>
#include <libusb.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>

#include "tests/adaptor/emulated_adaptor.h"
#include "tests/support/card_maker.h"

namespace {

struct Reply {
  int result;
  Bytes bytes;
};

Reply exchange(libusb_device_handle* device, Bytes command, int room = 256) {
  int sent = 0;
  int received = 0;
  libusb_bulk_transfer(device, 0x02, command.data(), int(command.size()), &sent, 5000);
  Bytes reply(256);
  const int result = libusb_bulk_transfer(device, 0x81, reply.data(), room, &received, 5000);
  reply.resize(size_t(received));
  return {result, reply};
}

// The adaptor as the link finds it: in the device list, by its descriptor.
libusb_device_handle* open_listed_adaptor(int* result = nullptr) {
  libusb_device** list = nullptr;
  libusb_device_handle* handle = nullptr;
  const ssize_t count = libusb_get_device_list(nullptr, &list);
  for (ssize_t i = 0; i < count; ++i) {
    libusb_device_descriptor descriptor;
    if (libusb_get_device_descriptor(list[i], &descriptor) == 0 && descriptor.idVendor == 0x054C &&
        descriptor.idProduct == 0x02EA) {
      const int opened = libusb_open(list[i], &handle);
      if (result) *result = opened;
    }
  }
  libusb_free_device_list(list, 1);
  return handle;
}

libusb_device_handle* open_emulated(const CardImage& card) {
  reset_emulator(card);
  EXPECT_EQ(libusb_init(nullptr), 0);
  libusb_device_handle* device = open_listed_adaptor();
  EXPECT_EQ(libusb_claim_interface(device, 0), 0);
  return device;
}

Bytes read_command(int f) {
  Bytes c = {0xAA, 0x42, 0x8C, 0x00, 0x81, 0x52, 0x00, 0x00, uint8_t(f >> 8), uint8_t(f)};
  c.resize(144, 0x00);
  return c;
}

Bytes write_command(int f, uint8_t fill) {
  Bytes c = {0xAA, 0x42, 0x8A, 0x00, 0x81, 0x57, 0x00, 0x00, uint8_t(f >> 8), uint8_t(f)};
  c.resize(10 + 128, fill);
  c.insert(c.end(), {uint8_t(c[8] ^ c[9]), 0x00, 0x00, 0x00});  // 128 equal bytes cancel out
  return c;
}

TEST(UsbEmulator, AnswersWellFormedCommandsAsTheAdaptorDoes) {
  const CardImage card = stamped_card(4);
  libusb_device_handle* device = open_emulated(card);
  ASSERT_TRUE(device);
  EXPECT_EQ(exchange(device, {0xAA, 0x40}).bytes, Bytes({0x55, 0x01}));
  const Reply read = exchange(device, read_command(1000));
  ASSERT_EQ(read.bytes.size(), 144u);
  EXPECT_EQ(read.bytes[0], 0x55);
  EXPECT_EQ(read.bytes[1], 0x5A);
  EXPECT_EQ(Bytes(read.bytes.begin() + 12, read.bytes.begin() + 14), Bytes({0x03, 0xE8}));
  EXPECT_EQ(Bytes(read.bytes.begin() + 14, read.bytes.begin() + 142),
            Bytes(frame(card, 1000), frame(card, 1000) + 128));
  uint8_t check = 0x03 ^ 0xE8;
  for (int i = 0; i < 128; ++i) check ^= frame(card, 1000)[i];
  EXPECT_EQ(read.bytes[142], check);
  EXPECT_EQ(read.bytes[143], 0x47);
  const Reply write = exchange(device, write_command(1000, 0x3C));
  ASSERT_EQ(write.bytes.size(), 142u);
  EXPECT_EQ(write.bytes[0], 0x55);
  EXPECT_EQ(write.bytes[1], 0x5A);
  EXPECT_EQ(write.bytes[141], 0x47);
  EXPECT_EQ(Bytes(frame(emulated_card(), 1000), frame(emulated_card(), 1000) + 128), Bytes(128, 0x3C));
  const EmulatorCounts counts = emulator_counts();
  EXPECT_EQ(counts.detects + counts.reads + counts.writes, 3);
  EXPECT_EQ(counts.bad, 0);
  EXPECT_EQ(frames_read(), std::vector<int>({1000}));
  EXPECT_EQ(frames_written(), std::vector<int>({1000}));
}

TEST(UsbEmulator, RefusesMalformedCommandsAndMisuse) {
  const CardImage card = stamped_card(4);
  libusb_device_handle* device = open_emulated(card);
  std::vector<Bytes> malformed = {{0xAA, 0x40, 0x00}, {0xAB, 0x40}, read_command(1024),
                                  write_command(1024, 0)};
  const std::pair<size_t, uint8_t> read_spoils[] = {{0, 0xAB}, {2, 0x8D}, {4, 0x80}, {5, 0x57},
                                                    {7, 0x01}, {100, 0x01}};
  for (auto [at, value] : read_spoils) {
    malformed.push_back(read_command(5));
    malformed.back()[at] = value;
  }
  for (size_t at : {size_t(3), size_t(5), size_t(138), size_t(141)}) {  // CHK and the zero tail too
    malformed.push_back(write_command(5, 0x10));
    malformed.back()[at] ^= 0x01;
  }
  malformed.push_back(read_command(5));
  malformed.back().pop_back();
  for (const Bytes& command : malformed) {
    const Reply reply = exchange(device, command);
    EXPECT_EQ(reply.result, LIBUSB_ERROR_TIMEOUT);
    EXPECT_TRUE(reply.bytes.empty());
  }
  EXPECT_EQ(emulator_counts().bad, int(malformed.size()));
  EXPECT_EQ(emulator_counts().exchanges(), int(malformed.size()));
  EXPECT_EQ(emulated_card().bytes, card.bytes);

  // A reply larger than the room given overflows, as with libusb.
  EXPECT_EQ(exchange(device, read_command(5), 100).result, LIBUSB_ERROR_OVERFLOW);
  Bytes detect = {0xAA, 0x40};
  int sent = 0;
  EXPECT_NE(libusb_bulk_transfer(device, 0x01, detect.data(), 2, &sent, 5000), 0);
  EXPECT_NE(libusb_bulk_transfer(device, 0x02, detect.data(), 2, &sent, 1000), 0);
  EXPECT_EQ(emulator_counts().bad, int(malformed.size()) + 2);
  reset_emulator(card);  // unplugged: the handle is no longer claimed
  EXPECT_NE(libusb_bulk_transfer(device, 0x02, detect.data(), 2, &sent, 5000), 0);
  EXPECT_EQ(emulator_counts().bad, 1);
}

TEST(UsbEmulator, AWriteOnlyFaultSparesReadsOfItsFrame) {
  EmulatorSetup setup;
  setup.reply_fault = ReplyFault::short_reply;
  setup.fault_frame = 20;
  setup.fault_on_writes_only = true;
  reset_emulator(blank_card(), setup);
  ASSERT_EQ(libusb_init(nullptr), 0);
  libusb_device_handle* device = open_listed_adaptor();
  ASSERT_EQ(libusb_claim_interface(device, 0), 0);
  EXPECT_EQ(exchange(device, read_command(20)).bytes.size(), 144u);
  EXPECT_EQ(exchange(device, write_command(20, 0x33)).bytes.size(), 141u);
  EXPECT_EQ(exchange(device, write_command(21, 0x33)).bytes.size(), 142u);
}

TEST(UsbEmulator, ATestCanGiveEveryReplyItself) {
  const CardImage card = stamped_card(4);
  std::vector<Bytes> commands;
  std::vector<std::optional<Bytes>> own_answers;
  std::vector<std::optional<Bytes>> replacements;
  EmulatorSetup setup;
  setup.reply_fault = ReplyFault::wrong_mark;
  setup.fault_frame = 9;
  setup.replace_reply = [&](const Bytes& command, std::optional<Bytes>& reply) {
    commands.push_back(command);
    own_answers.push_back(reply);
    const std::optional<Bytes> replacement = replacements[commands.size() - 1];
    if (replacement) reply = replacement->empty() ? std::nullopt : replacement;
  };
  reset_emulator(card, setup);
  ASSERT_EQ(libusb_init(nullptr), 0);
  libusb_device_handle* device = open_listed_adaptor();
  ASSERT_EQ(libusb_claim_interface(device, 0), 0);

  Bytes made_up(144, 0x33);  // frame 3 with other data, well confirmed
  made_up[0] = 0x55;
  made_up[1] = 0x5A;
  made_up[12] = 0x00;
  made_up[13] = 0x03;
  made_up[142] = 0x03;  // 00 ^ 03, and the 128 equal bytes cancel out
  made_up[143] = 0x47;
  Bytes good_write(142, 0);
  good_write[0] = 0x55;
  good_write[1] = 0x5A;
  good_write[141] = 0x47;  // the card's good end
  replacements = {std::nullopt,              // the detect: the emulator's own answer
                  Bytes{0x55, 0x01, 0x07},   // a detect answered one byte long
                  made_up,                   // a read answered with other data
                  Bytes(300, 0x55),          // longer than the receiver's buffer
                  Bytes{},                   // (empty: no reply at all)
                  Bytes{0x55, 0x5A},         // a write answered too short: not stored
                  good_write,                // a write spoiled by the fault, answered well: stored
                  Bytes{0x55}};              // a malformed command answered anyway
  EXPECT_EQ(exchange(device, {0xAA, 0x40}).bytes, Bytes({0x55, 0x01}));
  EXPECT_EQ(exchange(device, {0xAA, 0x40}).bytes, Bytes({0x55, 0x01, 0x07}));
  EXPECT_EQ(exchange(device, read_command(3)).bytes, made_up);
  const Reply overflowing = exchange(device, read_command(4));
  EXPECT_EQ(overflowing.result, LIBUSB_ERROR_OVERFLOW);
  EXPECT_EQ(overflowing.bytes, Bytes(256, 0x55));
  EXPECT_EQ(exchange(device, read_command(5)).result, LIBUSB_ERROR_TIMEOUT);
  EXPECT_EQ(exchange(device, write_command(6, 0x44)).bytes, Bytes({0x55, 0x5A}));
  EXPECT_EQ(exchange(device, write_command(9, 0x66)).bytes, good_write);
  EXPECT_EQ(exchange(device, {0xAA, 0x41}).bytes, Bytes({0x55}));

  ASSERT_EQ(commands.size(), 8u);
  EXPECT_EQ(commands[2], read_command(3));
  EXPECT_EQ(commands[7], Bytes({0xAA, 0x41}));
  // What the emulator would have said: 55 01, the frame's data, the fault's spoiled mark, nothing.
  EXPECT_EQ(own_answers[0], Bytes({0x55, 0x01}));
  ASSERT_TRUE(own_answers[2]);
  EXPECT_EQ(Bytes(own_answers[2]->begin() + 14, own_answers[2]->begin() + 142),
            Bytes(frame(card, 3), frame(card, 3) + 128));
  ASSERT_TRUE(own_answers[6]);
  EXPECT_EQ(own_answers[6]->size(), 142u);
  EXPECT_EQ((*own_answers[6])[1], 0xFF);
  EXPECT_FALSE(own_answers[7]);
  // Only the replies the link would take count: the read of frame 3, the write of frame 9.
  EXPECT_EQ(frames_read(), std::vector<int>({3}));
  EXPECT_EQ(frames_written(), std::vector<int>({9}));
  CardImage expected = card;
  std::fill(frame(expected, 9), frame(expected, 9) + 128, 0x66);
  EXPECT_EQ(emulated_card().bytes, expected.bytes);
  EXPECT_EQ(emulator_counts().bad, 1);
}

TEST(UsbEmulator, RepliesGivenByTheTestReachTheLink) {
  const CardImage card = stamped_card(4);
  EmulatorSetup setup;
  setup.replace_reply = [](const Bytes& command, std::optional<Bytes>& reply) {
    if (command.size() == 144 && command[9] == 2) {  // frame 2 arrives changed, CHK and all
      (*reply)[14] ^= 0xFF;
      (*reply)[142] ^= 0xFF;
    }
    if (command.size() == 142 && command[9] == 7) reply->push_back(0);   // frame 7 never takes
  };
  plug_in(card, setup);
  Bytes buffer(4 * 128);
  ASSERT_FALSE(transfer_frames(Transfer::read, buffer.data(), 0, 4, {}));
  Bytes expected(frame(card, 0), frame(card, 0) + 4 * 128);
  expected[2 * 128] ^= 0xFF;
  EXPECT_EQ(buffer, expected);
  Bytes data(128, 0x21);
  EXPECT_FALSE(transfer_frames(Transfer::write, data.data(), 6, 1, {}));
  EXPECT_EQ(text_of(transfer_frames(Transfer::write, data.data(), 7, 1, {})), "Write Error");
  EXPECT_EQ(emulator_counts().writes, 5);
  EXPECT_EQ(frames_written(), std::vector<int>({6}));
}

TEST(UsbEmulator, ReadsTheFaultList) {
  EmulatorSetup setup;
  ASSERT_TRUE(parse_faults("no-device, claim-fails,init-fails", setup));
  EXPECT_TRUE(setup.no_device && setup.claim_fails && setup.init_fails);
  setup = {};
  ASSERT_TRUE(parse_faults("detect-long@3,short@0x123*3", setup));
  EXPECT_EQ(setup.detect_fault, DetectFault::long_reply);
  EXPECT_EQ(setup.detect_fault_from, 3);
  EXPECT_EQ(setup.reply_fault, ReplyFault::short_reply);
  EXPECT_EQ(setup.fault_frame, 0x123);
  EXPECT_EQ(setup.fault_times, 3);
  setup = {};
  ASSERT_TRUE(parse_faults("no-card,bad-mark@1023", setup));
  EXPECT_EQ(setup.detect_fault, DetectFault::no_card);
  EXPECT_EQ(setup.detect_fault_from, 0);
  EXPECT_EQ(setup.reply_fault, ReplyFault::wrong_mark);
  EXPECT_EQ(setup.fault_times, -1);
  setup = {};
  ASSERT_TRUE(parse_faults("write-silent@7*2", setup));
  EXPECT_EQ(setup.reply_fault, ReplyFault::silent);
  EXPECT_TRUE(setup.fault_on_writes_only);
  EXPECT_EQ(setup.fault_times, 2);
  setup = {};
  ASSERT_TRUE(parse_faults("ps2-card@2, refused@5*2, gone@40*1, real-timeouts", setup));
  EXPECT_EQ(setup.detect_fault, DetectFault::ps2_card);
  EXPECT_EQ(setup.reply_fault, ReplyFault::refused);
  EXPECT_EQ(setup.fault_times, 2);
  EXPECT_EQ(setup.gone_at_command, 40);
  EXPECT_EQ(setup.gone_for_opens, 1);
  EXPECT_TRUE(setup.real_timeouts);
  setup = {};
  ASSERT_TRUE(parse_faults("half-size,flipped-bit@64*1", setup));
  EXPECT_TRUE(setup.half_size && setup.reply_fault == ReplyFault::flipped_bit && setup.fault_times == 1);
  for (const char* bad : {"write-refused@5", "write-flipped-bit@5", "half-size@1", "flipped-bit", "gone", "late", "real-timeouts@1", "write-no-card", "write-short", "nocard", "short", "short@1024", "short@-1", "no-device@2", "no-card*2",
                          "silent@5*", "long@x", "bad-start@1,,oops"}) {
    EmulatorSetup ignored;
    EXPECT_FALSE(parse_faults(bad, ignored)) << bad;
  }
}

class EmulatorEnvironment : public testing::Test {
 protected:
  std::string folder = testing::TempDir();
  std::string card_path = folder + "emulator_start.mcr";
  std::string state_path = folder + "emulator_state.mcr";
  void TearDown() override {
    for (const char* name : {"QUILLCREST_EMULATED_CARD", "QUILLCREST_EMULATED_FAULT",
                             "QUILLCREST_EMULATED_DELAY_MS", "QUILLCREST_EMULATED_STATE"})
      unsetenv(name);
  }
};

TEST_F(EmulatorEnvironment, SetsUpFromTheVariablesAndReportsItsState) {
  CardImage card = blank_card();
  add_save(card, SaveSpec{});
  write_file(card_path, card_bytes(card));
  setenv("QUILLCREST_EMULATED_CARD", card_path.c_str(), 1);
  setenv("QUILLCREST_EMULATED_FAULT", "short@70*1", 1);
  setenv("QUILLCREST_EMULATED_DELAY_MS", "0", 1);
  setenv("QUILLCREST_EMULATED_STATE", state_path.c_str(), 1);
  use_environment_setup();
  ASSERT_FALSE(open_adaptor());
  Bytes buffer(2 * 128);
  ASSERT_FALSE(transfer_frames(Transfer::read, buffer.data(), 64, 2, {}));
  EXPECT_EQ(buffer, Bytes(block(card, 1), block(card, 1) + 2 * 128));
  Bytes data(128, 0x5A);
  ASSERT_FALSE(transfer_frames(Transfer::write, data.data(), 70, 1, {}));  // the second attempt

  std::copy(data.begin(), data.end(), frame(card, 70));
  EXPECT_EQ(read_file(state_path), card_bytes(card));
  const Bytes counts = read_file(state_path + ".counts");
  EXPECT_EQ(std::string(counts.begin(), counts.end()),
            "detects 2\nreads 2\nwrites 2\nbad 0\ndrains 1\nopens 1\nwritten 70\nend\n");

  // Without a card image it holds a freshly formatted card.
  unsetenv("QUILLCREST_EMULATED_CARD");
  use_environment_setup();
  ASSERT_FALSE(open_adaptor());
  EXPECT_EQ(emulated_card().bytes, blank_card().bytes);
}

TEST_F(EmulatorEnvironment, StopsTheProgramOnAnUnusableSetup) {
  setenv("QUILLCREST_EMULATED_FAULT", "short@2000", 1);
  EXPECT_EXIT((use_environment_setup(), open_adaptor()), testing::ExitedWithCode(3),
              "bad QUILLCREST_EMULATED_FAULT: short@2000");
  unsetenv("QUILLCREST_EMULATED_FAULT");
  write_file(card_path, Bytes(131071, 0));
  setenv("QUILLCREST_EMULATED_CARD", card_path.c_str(), 1);
  EXPECT_EXIT((use_environment_setup(), open_adaptor()), testing::ExitedWithCode(3),
              "is not a 131072-byte card image");
}

}  // namespace
