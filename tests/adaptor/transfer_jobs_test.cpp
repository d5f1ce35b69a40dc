#include "adaptor/transfer_jobs.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "adaptor/card_sync.h"
#include "card/editing.h"
#include "tests/adaptor/emulated_adaptor.h"
#include "tests/support/card_maker.h"

namespace {

const int kFailingFrames[] = {0, 1, 17, 500, 1023};

// A card with saves in blocks 1..6 whose other frames all differ.
CardImage card_with_saves() {
  CardImage card = blank_card();
  SaveSpec one;
  one.icon_frames = 3;
  add_save(card, one);
  SaveSpec two;
  two.name = "BESLES-00002TWO";
  two.blocks = 2;
  two.seed = 40;
  add_save(card, two);
  SaveSpec three;
  three.name = "BISLPS-00003THREE";
  three.blocks = 3;
  three.seed = 80;
  add_save(card, three);
  const CardImage stamps = stamped_card(9);
  for (int f = 64; f < 1024; ++f)
    if (f % 64 >= 4) std::memcpy(frame(card, f), frame(stamps, f), 128);
  return card;
}

bool fast_read_frame(int f) { return f < 16 || (f >= 64 && f % 64 < 4); }

TEST(ReadCard, FullReadReplacesTheCard) {
  plug_in(card_with_saves());
  CardImage card = stamped_card(1);
  ProgressLog progress;
  ASSERT_FALSE(read_card(card, false, progress.callback()));
  EXPECT_EQ(card.bytes, card_with_saves().bytes);
  EXPECT_EQ(emulator_counts().exchanges(), 1025);
  EXPECT_EQ(progress.positions.size(), 1025u);
  EXPECT_EQ(progress.positions.back(), 1024);
}

TEST(ReadCard, FastReadTakesTheDirectoryAndEachSaveHeadOnly) {
  const CardImage on_card = card_with_saves();
  plug_in(on_card);
  const CardImage before = stamped_card(1);
  CardImage card = before;
  ProgressLog progress;
  ASSERT_FALSE(read_card(card, true, progress.callback()));
  EXPECT_EQ(emulator_counts().detects, 16);
  EXPECT_EQ(emulator_counts().exchanges(), 92);
  std::vector<int> expected;
  for (int f = 0; f < 1024; ++f)
    if (fast_read_frame(f)) expected.push_back(f);
  EXPECT_EQ(frames_read(), expected);
  for (int f = 0; f < 1024; ++f) {
    const CardImage& source = fast_read_frame(f) ? on_card : before;
    EXPECT_EQ(0, std::memcmp(frame(card, f), frame(source, f), 128)) << "frame " << f;
  }
  // Progress: each run of frames, then the end of the run.
  EXPECT_EQ(std::vector<int>(progress.positions.begin(), progress.positions.begin() + 22),
            std::vector<int>({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 1024, 64, 65,
                              66, 67, 1024}));
}

TEST(ReadCard, AFailedReadLeavesTheCardAsItWas) {
  const CardImage before = stamped_card(1);
  for (bool fast : {false, true}) {
    const std::vector<int> failing_frames =
        fast ? std::vector<int>{0, 1, 15, 64, 67, 963} : std::vector<int>(std::begin(kFailingFrames),
                                                                           std::end(kFailingFrames));
    for (int failing : failing_frames) {
      EmulatorSetup setup;
      setup.reply_fault = ReplyFault::short_reply;
      setup.fault_frame = failing;
      plug_in(card_with_saves(), setup);
      CardImage card = before;
      const Failure failure = read_card(card, fast, {});
      EXPECT_EQ(text_of(failure), "Read Error.") << failing;
      int read_before = 0;
      for (int f = 0; f < failing; ++f) read_before += !fast || fast_read_frame(f);
      EXPECT_EQ(int(frames_read().size()), read_before);
      EXPECT_EQ(card.bytes, before.bytes) << (fast ? "fast, frame " : "frame ") << failing;
    }
  }
  // The card taken out between two runs of a fast read.
  EmulatorSetup setup;
  setup.detect_fault = DetectFault::no_card;
  setup.detect_fault_from = 5;
  plug_in(card_with_saves(), setup);
  CardImage card = before;
  EXPECT_EQ(text_of(read_card(card, true, {})), "No PS1 Memory Card Detected.");
  EXPECT_EQ(emulator_counts().reads, 16 + 4 * 4);
  EXPECT_EQ(card.bytes, before.bytes);
}

TEST(WriteCard, FullWriteSendsEveryFrameAfterItsOwnDetect) {
  const CardImage card = card_with_saves();
  plug_in(stamped_card(1));
  CardImage snapshot = stamped_card(1);
  ProgressLog progress;
  ASSERT_FALSE(write_card(card, snapshot, false, progress.callback()));
  EXPECT_EQ(emulator_counts().detects, 1024);
  EXPECT_EQ(emulator_counts().writes, 1024);
  EXPECT_EQ(emulator_counts().exchanges(), 2048);
  EXPECT_EQ(frames_written(), frames_from(0, 1023));
  EXPECT_EQ(emulated_card().bytes, card.bytes);
  EXPECT_EQ(snapshot.bytes, card.bytes);
  ASSERT_EQ(progress.positions.size(), 2048u);
  for (int f = 0; f < 1024; ++f) {
    EXPECT_EQ(progress.positions[2 * f], f);
    EXPECT_EQ(progress.positions[2 * f + 1], 1024);
  }
}

TEST(WriteCard, DifferenceWriteSendsOnlyTheChangedFrames) {
  const CardImage original = card_with_saves();
  plug_in(original);
  CardImage snapshot = original;
  CardImage card = original;
  delete_save(card, 1);                            // directory frames 2 and 3
  frame(card, 3 * 64 + 10)[50] ^= 0x01;            // one data frame of that save
  std::memset(frame(card, 6 * 64 + 20), 0x42, 3 * 128);  // three frames of another
  ASSERT_FALSE(write_card(card, snapshot, true, {}));
  EXPECT_EQ(frames_written(), std::vector<int>({2, 3, 202, 404, 405, 406}));
  EXPECT_EQ(emulator_counts().exchanges(), 2 * 6);
  EXPECT_EQ(emulated_card().bytes, card.bytes);
  EXPECT_EQ(snapshot.bytes, card.bytes);

  // Nothing changed since: nothing is sent.
  ASSERT_FALSE(write_card(card, snapshot, true, {}));
  EXPECT_EQ(emulator_counts().exchanges(), 2 * 6);
}

// After a failed write the snapshot holds what the real card holds, so the
// next difference write sends exactly the frames that did not get there.
TEST(WriteCard, AFailedWriteKeepsTheSnapshotEqualToTheRealCard) {
  const CardImage old_contents = stamped_card(1);
  const CardImage card = stamped_card(2);  // differs from old_contents in every frame
  // The card taken out, a bad line, and the card itself refusing the frame.
  const ReplyFault faults[] = {ReplyFault::none, ReplyFault::wrong_mark, ReplyFault::refused,
                               ReplyFault::bad_sector};
  for (int k : kFailingFrames) {
    for (ReplyFault fault : faults) {
      const bool card_removed = fault == ReplyFault::none;
      EmulatorSetup setup;
      if (card_removed) {
        setup.detect_fault = DetectFault::no_card;
        setup.detect_fault_from = k;
      } else {
        setup.reply_fault = fault;
        setup.fault_frame = k;
      }
      plug_in(old_contents, setup);
      CardImage snapshot = old_contents;
      // Every frame differs, so a difference write sends them all too.
      const Failure failure = write_card(card, snapshot, card_removed, {});
      EXPECT_EQ(text_of(failure), card_removed ? "No PS1 Memory Card Detected." : "Write Error");
      EXPECT_EQ(frames_written(), frames_from(0, k - 1));
      EXPECT_EQ(snapshot.bytes, emulated_card().bytes) << "failing at frame " << k;
      EXPECT_EQ(0, std::memcmp(snapshot.bytes.data(), card.bytes.data(), k * 128));
      EXPECT_EQ(0, std::memcmp(frame(snapshot, k), frame(old_contents, k), (1024 - k) * 128));

      plug_in(emulated_card());
      ASSERT_FALSE(write_card(card, snapshot, true, {}));
      EXPECT_EQ(frames_written(), frames_from(k, 1023));
      EXPECT_EQ(emulated_card().bytes, card.bytes);
    }
  }
}

}  // namespace

namespace {

// The command line's write: one detect per run of consecutive frames.
TEST(SyncCard, WritesTheDifferencesInRunsAndReadsThemBack) {
  const CardImage on_card = card_with_saves();
  CardImage card = on_card;
  for (int f = 64; f < 128; ++f) frame(card, f)[5] ^= 0x40;  // every frame of block 1
  plug_in(on_card);
  SyncReport report;
  std::vector<SyncStep> steps;
  ASSERT_FALSE(sync_card(card, {}, {}, [&](SyncStep s, int, int) { steps.push_back(s); }, report));
  EXPECT_EQ(emulator_counts().exchanges(), 1025 + 65 + 65);
  EXPECT_EQ(emulated_card().bytes, card.bytes);
  EXPECT_EQ(report.written, frames_from(64, 127));
  EXPECT_EQ(report.verified, frames_from(64, 127));
  EXPECT_EQ(steps.size(), 1024u + 64 + 64);

  // Nothing left to change: the card is read and nothing else is sent.
  plug_in(card);
  ASSERT_FALSE(sync_card(card, {}, {}, {}, report));
  EXPECT_EQ(emulator_counts().exchanges(), 1025);
  EXPECT_TRUE(report.written.empty());

  // --all: every frame, the directory block last, without reading first.
  plug_in(stamped_card(3));
  ASSERT_FALSE(sync_card(card, {true, false, false}, {}, {}, report));
  EXPECT_EQ(emulator_counts().exchanges(), 1024 + 2);
  EXPECT_EQ(frames_written().front(), 64);
  EXPECT_EQ(frames_written().back(), 63);
  EXPECT_EQ(emulated_card().bytes, card.bytes);
}

// What the card held goes to the caller (for its backup) before any frame
// is sent, and the caller may stop the write there.
TEST(SyncCard, ShowsTheCardBeforeWritingAndMayBeStoppedThere) {
  const CardImage on_card = card_with_saves();
  CardImage card = on_card;
  delete_save(card, 0);
  plug_in(on_card);
  CardImage seen;
  const BeforeWriting refuse = [&](const CardImage& read, const std::vector<int>& frames) {
    EXPECT_EQ(emulator_counts().writes, 0);
    EXPECT_EQ(frames, std::vector<int>({1}));
    seen = read;
    return fail("no backup");
  };
  SyncReport report;
  EXPECT_EQ(text_of(sync_card(card, {}, refuse, {}, report)), "no backup");
  EXPECT_EQ(seen.bytes, on_card.bytes);
  EXPECT_EQ(emulator_counts().writes, 0);
}

// A fake 64 KB card: the second half's frames land on the first half's, so
// every frame is read back, also those never written.
TEST(SyncCard, OnACardWhoseHalvesMirrorEveryFrameIsReadBack) {
  EmulatorSetup setup;
  setup.half_size = true;
  plug_in(blank_card(), setup);
  SyncReport report;
  const std::string verify = text_of(sync_card(card_with_saves(), {}, {}, {}, report));
  EXPECT_EQ(emulator_counts().reads, 1024 + 1024);
  // Frames 0 and 7..63 were not written, yet writes of 512 and 519..575 changed them.
  EXPECT_EQ(verify.substr(0, 30), "Verify Error: frames 0, 7..63,") << verify;
}

TEST(SyncCard, SaysWhatGotThereWhenTheCardRefusesOrDiffers) {
  const CardImage on_card = card_with_saves();
  CardImage card = on_card;
  for (int f : {10, 11, 12, 300}) frame(card, f)[0] ^= 0xFF;
  EmulatorSetup setup;
  setup.reply_fault = ReplyFault::refused;
  setup.fault_frame = 12;
  plug_in(on_card, setup);
  SyncReport report;
  EXPECT_EQ(text_of(sync_card(card, {}, {}, {}, report)), "Write Error");
  EXPECT_EQ(report.written, std::vector<int>({300, 10, 11}));  // the saves' blocks first
  EXPECT_EQ(frames_written(), report.written);

  // The card acknowledges frame 300 but gives back something else.
  setup = EmulatorSetup{};
  int reads_of_300 = 0;
  setup.replace_reply = [&](const Bytes& command, std::optional<Bytes>& reply) {
    const bool read_of_300 = command.size() == 144 && command[8] == 1 && command[9] == 44;
    if (!read_of_300 || ++reads_of_300 < 2) return;
    (*reply)[14] ^= 0x01;  // CHK and all: the card itself holds it so
    (*reply)[142] ^= 0x01;
  };
  plug_in(on_card, setup);
  EXPECT_EQ(text_of(sync_card(card, {}, {}, {}, report)),
            "Verify Error: frame 300 differs on the card.");
  EXPECT_EQ(report.verified, std::vector<int>({10, 11, 12}));
  EXPECT_EQ(report.mismatched, std::vector<int>({300}));
}

}  // namespace
