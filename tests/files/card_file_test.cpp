#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "card/editing.h"
#include "files/backups.h"
#include "files/card_file.h"
#include "files/save_copy.h"
#include "tests/files/temp_folder.h"
#include "tests/support/card_maker.h"
#include "tests/support/openssl_signature.h"

namespace {

CardImage sample() {
  CardImage card = blank_card();
  SaveSpec save;
  save.blocks = 3;
  add_save(card, save);
  return card;
}

CardFileInfo read_ok(const std::string& path, const CardImage& expected) {
  CardImage loaded;
  CardFileInfo info;
  bool opened = false;
  const Failure failure = read_card_file(path, loaded, opened, info);
  EXPECT_FALSE(failure) << path << ": " << failure->text;
  EXPECT_EQ(loaded.bytes, expected.bytes) << path;
  return info;
}

TEST(ReadCardFile, EveryFormatIsRecognisedByItsContentWhateverItsName) {
  TempFolder folder;
  const CardImage card = sample();
  Bytes longer = card_bytes(card);
  longer.push_back(0xAB);
  // A GME-sized file with no GME header is still read from byte 3904.
  Bytes zeroed_gme(kGmeFileSize, 0);
  std::copy(card.bytes.begin(), card.bytes.end(), zeroed_gme.begin() + kGmeHeaderSize);
  const struct {
    const char* name;
    Bytes bytes;
    CardFormat format;
  } files[] = {
      {"card.mcr", card_bytes(card), CardFormat::raw},
      {"card.bin", longer, CardFormat::raw},
      {"card.mcd", gme_file(card), CardFormat::gme},
      {"plain.bin", zeroed_gme, CardFormat::gme},
      {"card.mcx", vgs_file(card), CardFormat::vgs},
      {"SCEVMC0.VMP", signed_by_openssl(vmp_file(card, 7), 0x0C, 0x20), CardFormat::vmp},
      {"card.psx", magazine_file(card), CardFormat::magazine},
  };
  for (const auto& file : files) {
    write_file(folder.path(file.name), file.bytes);
    const CardFileInfo info = read_ok(folder.path(file.name), card);
    EXPECT_EQ(info.format, file.format) << file.name;
    EXPECT_EQ(info.notice, "") << file.name;
  }
  // A 131072-byte file is raw whatever it begins with, even a GME's tag
  // (found by fuzzing): any card written raw reads back.
  CardImage tagged = card;
  std::copy_n("123-456-STD", 12, tagged.bytes.begin());
  write_file(folder.path("tagged.mcr"), card_bytes(tagged));
  EXPECT_EQ(read_ok(folder.path("tagged.mcr"), tagged).format, CardFormat::raw);
}

TEST(ReadCardFile, AVmpWithAWrongSignatureOpensWithAWarning) {
  TempFolder folder;
  const CardImage card = sample();
  Bytes vmp = signed_by_openssl(vmp_file(card), 0x0C, 0x20);
  vmp[0x80 + 9000] ^= 1;  // a byte of the card changed after signing
  write_file(folder.path("SCEVMC1.VMP"), vmp);
  CardImage expected = card;
  expected.bytes[9000] ^= 1;
  const CardFileInfo info = read_ok(folder.path("SCEVMC1.VMP"), expected);
  EXPECT_EQ(info.format, CardFormat::vmp);
  EXPECT_NE(info.notice.find("signature of this VMP card is wrong"), std::string::npos) << info.notice;
}

TEST(ReadCardFile, APocketStationCardAndLargeFilesAreRefusedByName) {
  TempFolder folder;
  write_file(folder.path("MCX.BIN"), Bytes(kMcxFileSize, 0x5C));
  write_file(folder.path("ps2.ps2"), Bytes(1 << 20, 0x53));
  const CardImage before = sample();
  for (const char* name : {"MCX.BIN", "ps2.ps2"}) {
    CardImage card = before;
    bool opened = false;
    const Failure failure = read_card_file(folder.path(name), card, opened);
    ASSERT_TRUE(failure) << name;
    EXPECT_NE(failure->text.find(name[0] == 'M' ? "PocketStation" : "PS2"), std::string::npos);
    EXPECT_EQ(card.bytes, before.bytes);
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

  // A GME file that lacks its last byte is a GME cut short: the missing
  // tail reads as zeros, and the user is told which saves lose data.
  CardFileInfo info;
  EXPECT_FALSE(read_card_file(folder.path("almost.gme"), card, opened, info));
  EXPECT_EQ(card.bytes, blank_card().bytes);
  EXPECT_NE(info.notice.find("cut short: the last 1 bytes"), std::string::npos) << info.notice;
  EXPECT_EQ(info.notice.find("slots"), std::string::npos) << info.notice;
  Bytes cut = gme_file(sample());  // a three-block save in slots 1..3
  cut.resize(kGmeHeaderSize + 3 * kBlockSize + 100);
  write_file(folder.path("cut.gme"), cut);
  EXPECT_FALSE(read_card_file(folder.path("cut.gme"), card, opened, info));
  EXPECT_EQ(info.format, CardFormat::gme);
  EXPECT_NE(info.notice.find("The saves in slots 3 lack data"), std::string::npos) << info.notice;
  EXPECT_TRUE(std::equal(card.bytes.begin(), card.bytes.begin() + 3 * kBlockSize + 100,
                         sample().bytes.begin()));
  EXPECT_TRUE(std::all_of(card.bytes.begin() + 3 * kBlockSize + 100, card.bytes.end(),
                          [](uint8_t b) { return b == 0; }));

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

TEST(WriteCardFile, EveryFormatConvertsToEveryOtherAndBack) {
  TempFolder folder;
  CardImage card = sample();
  SaveSpec second;
  second.name = "BESLES-00002TWO";
  add_save(card, second);  // slot 3
  Bytes gme = gme_file(card);
  set_gme_comment(gme, 0, "Chapter 3, before the boss");
  set_gme_comment(gme, 3, "\xE9t\xE9");
  write_file(folder.path("in.gme"), gme);
  CardFileInfo from_gme = read_ok(folder.path("in.gme"), card);
  const CardFormat formats[] = {CardFormat::raw, CardFormat::gme, CardFormat::vgs, CardFormat::vmp};
  for (CardFormat from : formats) {
    CardFileInfo info = from_gme;
    info.format = from;
    const std::string first = folder.path(std::string("first.") + card_format_name(from));
    ASSERT_FALSE(write_card_file(first, card, info));
    const CardFileInfo read_first = read_ok(first, card);
    EXPECT_EQ(read_first.format, from);
    EXPECT_EQ(read_first.notice, "");
    for (CardFormat to : formats) {
      CardFileInfo converted = read_first;
      converted.format = to;
      const std::string second_path = folder.path(std::string("second.") + card_format_name(to));
      ASSERT_FALSE(write_card_file(second_path, card, converted));
      const CardFileInfo again = read_ok(second_path, card);
      EXPECT_EQ(again.format, to);
      // Comments live only in GME files, and travel between them.
      const bool kept = from == CardFormat::gme && to == CardFormat::gme;
      EXPECT_EQ(comment_of(card, again, 0), kept ? "Chapter 3, before the boss" : "");
      EXPECT_EQ(comment_of(card, again, 3), kept ? "\xE9t\xE9" : "");
    }
  }
  // The same card always makes the same VMP.
  EXPECT_EQ(read_file(folder.path("first.vmp")), read_file(folder.path("second.vmp")));
}

TEST(WriteCardFile, AVmpIsSignedAsTheOpensslToolSignsIt) {
  TempFolder folder;
  for (const CardImage& card : {blank_card(), sample()}) {
    CardFileInfo info;
    info.format = CardFormat::vmp;
    ASSERT_FALSE(write_card_file(folder.path("SCEVMC0.VMP"), card, info));
    const Bytes vmp = read_file(folder.path("SCEVMC0.VMP"));
    ASSERT_EQ(vmp.size(), kVmpFileSize);
    EXPECT_EQ(Bytes(vmp.begin(), vmp.begin() + 8), (Bytes{0, 'P', 'M', 'V', 0x80, 0, 0, 0}));
    EXPECT_EQ(Bytes(vmp.begin() + 0x20, vmp.begin() + 0x34), openssl_signature(vmp, 0x0C, 0x20));
    EXPECT_TRUE(std::equal(card.bytes.begin(), card.bytes.end(), vmp.begin() + 0x80));
  }
}

TEST(WriteCardFile, AGmeHeaderIsRebuiltFromTheCardAndCommentsStayWithTheirSaves) {
  TempFolder folder;
  CardImage card = sample();  // a three-block save in slots 1..3
  SaveSpec second;
  second.name = "BESLES-00002TWO";
  add_save(card, second);  // slot 4
  Bytes gme = gme_file(card);  // its header is filled with 0xEE
  set_gme_comment(gme, 0, "first");
  set_gme_comment(gme, 3, "second");
  set_gme_comment(gme, 9, "a free slot's comment");
  write_file(folder.path("in.gme"), gme);
  CardFileInfo info = read_ok(folder.path("in.gme"), card);

  // The second save is deleted and another put in its place: its comment
  // is gone, the first save's stays.
  delete_save(card, 3);
  SaveSpec third;
  third.name = "BESLES-00003NEW";
  put_save(card, third, {3});
  ASSERT_FALSE(write_card_file(folder.path("out.gme"), card, info));
  const Bytes out = read_file(folder.path("out.gme"));
  ASSERT_EQ(out.size(), kGmeFileSize);
  EXPECT_EQ(std::string(out.begin(), out.begin() + 12), std::string("123-456-STD", 12));
  EXPECT_EQ(Bytes(out.begin() + 0x10, out.begin() + 0x15), (Bytes{0, 0, 1, 0, 1}));
  for (int f = 0; f < 16; ++f) {
    EXPECT_EQ(out[0x15 + f], card.bytes[f * 128]) << f;
    EXPECT_EQ(out[0x25 + f], card.bytes[f * 128 + 8]) << f;
  }
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&out[0x40])), "first");
  for (int slot = 1; slot < 15; ++slot) EXPECT_EQ(out[0x40 + 256 * slot], 0) << slot;
  EXPECT_TRUE(std::all_of(out.begin() + 0x35, out.begin() + 0x40, [](uint8_t b) { return b == 0; }));
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

namespace {

// The window's "Copy Save to Card File...": the file keeps its format, what
// it held goes to a backup first, and a copy that cannot be made touches
// neither. (Placing the save and its comment: the command line's copy.)
TEST(CopySaveToCardFile, KeepsTheFilesFormatAndBacksItUpFirst) {
  TempFolder folder;
  setenv("XDG_DATA_HOME", folder.path("data").c_str(), 1);
  CardImage source = blank_card();
  SaveSpec race;
  race.blocks = 2;
  put_save(source, race, {2, 3});
  CardImage target = blank_card();
  add_save(target, SaveSpec{});
  const std::string path = folder.path("target.gme");
  write_file(path, gme_file(target));
  CopiedSave copied;
  ASSERT_FALSE(copy_save_to_card_file(source, CardFileInfo{}, 2, path, copied));
  EXPECT_EQ(read_file(copied.backup_path), card_bytes(target));
  CardImage copy;
  CardFileInfo info;
  bool opened = false;
  ASSERT_FALSE(read_card_file(path, copy, opened, info));
  EXPECT_EQ(info.format, CardFormat::gme);
  EXPECT_EQ(0, std::memcmp(data_block(copy, 2), data_block(source, 3), kBlockSize));

  CardImage full = blank_card();
  for (int n = 0; n < 14; ++n) add_save(full, SaveSpec{});
  write_file(path, card_bytes(full));
  write_file(folder.path("not-a-card.mcr"), Bytes(kCardSize, 0x11));
  EXPECT_TRUE(copy_save_to_card_file(source, CardFileInfo{}, 2, path, copied));
  EXPECT_TRUE(copy_save_to_card_file(source, CardFileInfo{}, 2, folder.path("not-a-card.mcr"), copied));
  EXPECT_EQ(read_file(path), card_bytes(full));
  EXPECT_EQ(read_file(folder.path("not-a-card.mcr")), Bytes(kCardSize, 0x11));
  EXPECT_EQ(list_backups(folder.path("data/quillcrest/backups")).size(), 1u);
}

}  // namespace
