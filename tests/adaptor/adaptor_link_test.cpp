#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "adaptor/transfer_jobs.h"
#include "tests/adaptor/emulated_adaptor.h"

namespace {

using Bytes = std::vector<uint8_t>;

Failure read_into(Bytes& buffer, int first, int count, const Progress& progress = {}) {
  buffer.assign(size_t(count) * 128, 0xEE);
  return transfer_frames(Transfer::read, buffer.data(), first, count, progress);
}

TEST(OpenAdaptor, ReportsWhyTheAdaptorCannotBeUsed) {
  struct Case {
    void (*spoil)(EmulatorSetup&);
    const char* text;
  };
  const Case cases[] = {
      {[](EmulatorSetup& s) { s.init_fails = true; }, "Error initialising libusb."},
      {[](EmulatorSetup& s) { s.no_device = true; }, "PS3 Memory Card Adaptator USB Device not found."},
      {[](EmulatorSetup& s) { s.no_access = true; }, "PS3 Memory Card Adaptator USB Device not found."},
      {[](EmulatorSetup& s) { s.claim_fails = true; }, "Cannot claim USB interface."},
  };
  for (const Case& c : cases) {
    EmulatorSetup setup;
    c.spoil(setup);
    reset_emulator(stamped_card(1), setup);
    const Failure failure = open_adaptor();
    EXPECT_EQ(text_of(failure), c.text);
    EXPECT_EQ(adaptor_access_refused(), setup.no_access);  // the command line says why
    Bytes buffer;
    EXPECT_EQ(text_of(read_into(buffer, 0, 1)), "No PS1 Memory Card Detected.");
    EXPECT_EQ(emulator_counts().reads, 0);
  }
  reset_emulator(stamped_card(1));
  EXPECT_FALSE(open_adaptor());
}

TEST(TransferFrames, WithoutACardStopsBeforeAnyFrame) {
  for (DetectFault fault : {DetectFault::no_card, DetectFault::ps2_card, DetectFault::short_reply,
                            DetectFault::long_reply, DetectFault::silent}) {
    EmulatorSetup setup;
    setup.detect_fault = fault;
    plug_in(stamped_card(1), setup);
    ProgressLog progress;
    Bytes buffer;
    EXPECT_EQ(text_of(read_into(buffer, 0, 1024, progress.callback())), "No PS1 Memory Card Detected.");
    EXPECT_EQ(buffer, Bytes(1024 * 128, 0xEE));
    Bytes data(128, 0x11);
    EXPECT_EQ(text_of(transfer_frames(Transfer::write, data.data(), 5, 1, progress.callback())),
              "No PS1 Memory Card Detected.");
    EXPECT_EQ(emulator_counts().detects, 2);
    EXPECT_EQ(emulator_counts().exchanges(), 2);
    EXPECT_TRUE(progress.positions.empty());
    EXPECT_EQ(emulated_card().bytes, stamped_card(1).bytes);
  }
}

TEST(TransferFrames, FullReadIsOneDetectAnd1024ReadsWithProgress) {
  const CardImage card = stamped_card(3);
  plug_in(card);
  ProgressLog progress;
  Bytes buffer;
  ASSERT_FALSE(read_into(buffer, 0, 1024, progress.callback()));
  EXPECT_EQ(buffer, Bytes(card.bytes.begin(), card.bytes.end()));
  EXPECT_EQ(emulator_counts().detects, 1);
  EXPECT_EQ(emulator_counts().reads, 1024);
  EXPECT_EQ(emulator_counts().exchanges(), 1025);
  std::vector<int> expected = frames_from(0, 1023);
  expected.push_back(1024);
  EXPECT_EQ(progress.positions, expected);
}

TEST(TransferFrames, SendsTheExactReadAndWriteCommands) {
  const CardImage card = stamped_card(1);
  plug_in(card);
  Bytes buffer;
  ASSERT_FALSE(read_into(buffer, 0x0123, 1));
  Bytes read = {0xAA, 0x42, 0x8C, 0x00, 0x81, 0x52, 0x00, 0x00, 0x01, 0x23};
  read.resize(144, 0x00);
  EXPECT_EQ(last_command(), read);
  EXPECT_EQ(buffer, Bytes(frame(card, 0x0123), frame(card, 0x0123) + 128));

  Bytes data(128);
  uint8_t check = 0x01 ^ 0x23;
  for (int i = 0; i < 128; ++i) check ^= data[i] = uint8_t(0xC3 ^ (i * 5));
  ASSERT_FALSE(transfer_frames(Transfer::write, data.data(), 0x0123, 1, {}));
  Bytes write = {0xAA, 0x42, 0x8A, 0x00, 0x81, 0x57, 0x00, 0x00, 0x01, 0x23};
  write.insert(write.end(), data.begin(), data.end());
  write.insert(write.end(), {check, 0x00, 0x00, 0x00});
  EXPECT_EQ(last_command(), write);
  EXPECT_EQ(emulator_counts().bad, 0);

  CardImage expected = card;
  std::copy(data.begin(), data.end(), frame(expected, 0x0123));
  EXPECT_EQ(emulated_card().bytes, expected.bytes);
}

const ReplyFault kReplyFaults[] = {ReplyFault::short_reply, ReplyFault::long_reply,
                                   ReplyFault::wrong_start, ReplyFault::wrong_mark,
                                   ReplyFault::silent};

// A garbled frame, a reply to another frame or a card that did not end well
// is a failed read, as a reply of the wrong shape is.
TEST(TransferFrames, AReadIsNotRetriedAndKeepsTheFramesBefore) {
  std::vector<ReplyFault> faults(std::begin(kReplyFaults), std::end(kReplyFaults));
  faults.insert(faults.end(), {ReplyFault::bad_checksum, ReplyFault::bad_echo, ReplyFault::bad_end,
                               ReplyFault::late});
  for (ReplyFault fault : faults) {
    EmulatorSetup setup;
    setup.reply_fault = fault;
    setup.fault_frame = 7;
    setup.fault_times = 1;  // a second attempt would succeed
    const CardImage card = stamped_card(2);
    plug_in(card, setup);
    ProgressLog progress;
    Bytes buffer;
    EXPECT_EQ(text_of(read_into(buffer, 4, 10, progress.callback())), "Read Error.");
    EXPECT_EQ(emulator_counts().reads, 4);
    EXPECT_EQ(progress.positions, frames_from(4, 7));
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 3 * 128),
              Bytes(frame(card, 4), frame(card, 7)));
    EXPECT_EQ(Bytes(buffer.begin() + 3 * 128, buffer.end()), Bytes(7 * 128, 0xEE));
  }
}

// A write the card refused or could not store is not written.
TEST(TransferFrames, AWriteIsTriedFourTimes) {
  std::vector<ReplyFault> faults(std::begin(kReplyFaults), std::end(kReplyFaults));
  faults.insert(faults.end(), {ReplyFault::refused, ReplyFault::bad_sector});
  for (ReplyFault fault : faults) {
    for (int bad_replies : {3, 4}) {
      EmulatorSetup setup;
      setup.reply_fault = fault;
      setup.fault_frame = 0x0123;
      setup.fault_times = bad_replies;
      plug_in(stamped_card(1), setup);
      Bytes data(2 * 128, 0x77);
      const Failure failure = transfer_frames(Transfer::write, data.data(), 0x0122, 2, {});
      EXPECT_EQ(emulator_counts().writes, 1 + 4);
      EXPECT_EQ(text_of(failure), bad_replies == 3 ? "" : "Write Error");
      EXPECT_EQ(frames_written(), bad_replies == 3 ? std::vector<int>({0x0122, 0x0123})
                                                   : std::vector<int>({0x0122}));
    }
  }
}

// A reply that comes after its timeout waits in the adaptor; it must not
// answer a later command, in the same job or the next.
TEST(TransferJobs, ALateReplyAnswersNoOtherCommand) {
  const CardImage on_card = stamped_card(5);
  EmulatorSetup setup;
  setup.reply_fault = ReplyFault::late;
  setup.fault_frame = 7;
  setup.fault_times = 1;
  plug_in(on_card, setup);
  CardImage card = stamped_card(6);
  EXPECT_EQ(text_of(read_card(card, false, {})), "Read Error.");
  ASSERT_FALSE(read_card(card, false, {}));
  EXPECT_EQ(card.bytes, on_card.bytes);

  // A write whose first attempt is answered late goes on in step.
  setup.fault_frame = 300;
  plug_in(on_card, setup);
  CardImage snapshot = on_card;
  const CardImage changed = stamped_card(7);
  ASSERT_FALSE(write_card(changed, snapshot, false, {}));
  EXPECT_EQ(emulated_card().bytes, changed.bytes);
  EXPECT_EQ(emulator_counts().writes, 1024 + 1);
}

TEST(TransferJobs, AnUnpluggedAdaptorIsOpenedAgainByTheNextJob) {
  const CardImage on_card = stamped_card(5);
  EmulatorSetup setup;
  setup.gone_at_command = 501;  // the read of frame 500
  setup.gone_for_opens = 1;     // still away at the next job
  plug_in(on_card, setup);
  CardImage card = stamped_card(6);
  EXPECT_EQ(text_of(read_card(card, false, {})), "Read Error.");
  EXPECT_EQ(text_of(read_card(card, false, {})), "PS3 Memory Card Adaptator USB Device not found.");
  EXPECT_EQ(card.bytes, stamped_card(6).bytes);
  ASSERT_FALSE(read_card(card, false, {}));
  EXPECT_EQ(card.bytes, on_card.bytes);
  EXPECT_EQ(emulator_counts().opens, 2);

  // Unplugged in the middle of a write: the snapshot holds what got there.
  setup.gone_at_command = 2 * 40 + 1;  // the write of frame 40
  setup.gone_for_opens = 0;
  plug_in(on_card, setup);
  CardImage snapshot = on_card;
  const CardImage changed = stamped_card(7);
  EXPECT_EQ(text_of(write_card(changed, snapshot, true, {})), "Write Error");
  EXPECT_EQ(snapshot.bytes, emulated_card().bytes);
  ASSERT_FALSE(write_card(changed, snapshot, true, {}));
  EXPECT_EQ(emulated_card().bytes, changed.bytes);
  EXPECT_EQ(frames_written(), frames_from(0, 1023));
}

}  // namespace
