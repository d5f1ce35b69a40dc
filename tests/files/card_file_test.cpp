#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>

#include "files/card_file.h"
#include "tests/files/temp_folder.h"
#include "tests/support/card_maker.h"

namespace {

CardImage sample() {
  CardImage card = blank_card();
  SaveSpec save;
  save.blocks = 3;
  add_save(card, save);
  return card;
}

TEST(ReadCardFile, RawAndGmeImagesAreRecognisedByLengthAlone) {
  TempFolder folder;
  const CardImage card = sample();
  write_file(folder.path("card.gme"), gme_file(card));
  Bytes longer = card_bytes(card);
  longer.push_back(0xAB);
  write_file(folder.path("card.mcr"), longer);
  // A GME-sized file with no GME header is still read from byte 3904.
  Bytes gme_sized(kGmeFileSize, 0);
  std::copy(card.bytes.begin(), card.bytes.end(), gme_sized.begin() + kGmeHeaderSize);
  write_file(folder.path("plain.bin"), gme_sized);

  for (const char* name : {"card.gme", "card.mcr", "plain.bin"}) {
    CardImage loaded;
    bool opened = false;
    EXPECT_FALSE(read_card_file(folder.path(name), loaded, opened)) << name;
    EXPECT_TRUE(opened);
    EXPECT_EQ(loaded.bytes, card.bytes) << name;
  }
}

TEST(ReadCardFile, ShortOrMissingFilesLeaveTheCardUntouched) {
  TempFolder folder;
  Bytes short_file = card_bytes(blank_card());
  short_file.pop_back();
  write_file(folder.path("short.mcr"), short_file);
  write_file(folder.path("empty.mcr"), Bytes());
  Bytes short_gme = gme_file(blank_card());
  short_gme.resize(kGmeFileSize - 1);  // not GME-sized, so read from byte 0, and long enough
  write_file(folder.path("almost.gme"), short_gme);

  const CardImage before = sample();
  for (const char* name : {"short.mcr", "empty.mcr"}) {
    CardImage card = before;
    bool opened = false;
    const Failure failure = read_card_file(folder.path(name), card, opened);
    ASSERT_TRUE(failure) << name;
    EXPECT_EQ(failure->text, "Wrong file size !");
    EXPECT_EQ(failure->caption, "File Error");
    EXPECT_TRUE(opened);
    EXPECT_EQ(card.bytes, before.bytes) << name;
  }
  CardImage card = before;
  bool opened = true;
  const Failure missing = read_card_file(folder.path("nothing-here.mcr"), card, opened);
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->text, "Cannot open file !");
  EXPECT_EQ(missing->caption, "File Error");
  EXPECT_FALSE(opened);
  EXPECT_EQ(card.bytes, before.bytes);

  EXPECT_FALSE(read_card_file(folder.path("almost.gme"), card, opened));
  EXPECT_EQ(card.bytes[0], 0x31);  // the GME header's first byte, "1"

  // A GME file whose read stops short, by a read error or a file cut while
  // it was read, is no image at all, whatever arrived of it.
  card = before;
  for (size_t arrived : {kGmeFileSize - 1, kCardSize + 10}) {
    FilePrefix cut;
    cut.bytes = gme_file(blank_card());
    cut.bytes.resize(arrived);
    cut.length = kGmeFileSize;
    cut.whole = false;
    const Failure failure = take_card_image(cut, card);
    EXPECT_EQ(failure ? failure->text : "", "Wrong file size !");
    EXPECT_EQ(card.bytes, before.bytes);
  }
}

TEST(WriteCardFile, ReplacesTheTargetOnlyWhenEverythingWasWritten) {
  TempFolder folder;
  const CardImage card = sample();
  const std::string target = folder.path("out.mc");
  write_file(target, Bytes(10, 0x55));
  ASSERT_FALSE(write_card_file(target, card));
  EXPECT_EQ(read_file(target), card_bytes(card));
  EXPECT_TRUE(read_file(target + ".quillcrest-tmp").empty());  // no leftover

  const Failure no_folder = write_card_file(folder.path("missing/out.mc"), card);
  ASSERT_TRUE(no_folder);
  EXPECT_EQ(no_folder->text, "Cannot create file !");
  EXPECT_EQ(no_folder->caption, "File Error");

  // A target that cannot be replaced (a folder in its place) keeps what it was.
  const std::string blocked = folder.path("blocked.mc");
  ASSERT_EQ(mkdir(blocked.c_str(), 0755), 0);
  write_file(blocked + "/inside", Bytes(3, 1));
  const Failure cannot_replace = write_card_file(blocked, card);
  ASSERT_TRUE(cannot_replace);
  EXPECT_EQ(cannot_replace->text, "Cannot write file !");
  EXPECT_EQ(read_file(blocked + "/inside"), Bytes(3, 1));
  EXPECT_TRUE(read_file(blocked + ".quillcrest-tmp").empty());
}

TEST(WriteCardFile, AShortWriteIsReportedAndTheOldFileKept) {
  TempFolder folder;
  const std::string target = folder.path("kept.mc");
  write_file(target, Bytes(100, 0x66));
  // A file-size limit makes writes stop short, as a full disk does.
  rlimit saved;
  getrlimit(RLIMIT_FSIZE, &saved);
  rlimit small = saved;
  small.rlim_cur = 5000;
  auto previous = std::signal(SIGXFSZ, SIG_IGN);
  setrlimit(RLIMIT_FSIZE, &small);
  const Failure failure = write_card_file(target, sample());
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->text, "Cannot write file !");
  EXPECT_EQ(failure->caption, "File Error");
  EXPECT_EQ(read_file(target), Bytes(100, 0x66));
  EXPECT_TRUE(read_file(target + ".quillcrest-tmp").empty());
}

}  // namespace
