#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <memory>

#include "card/analysis.h"
#include "files/save_file.h"
#include "tests/files/temp_folder.h"
#include "tests/support/card_maker.h"
#include "tests/support/openssl_signature.h"

namespace {

FilePrefix loaded(const Bytes& bytes) {
  TempFolder folder;
  write_file(folder.path("save"), bytes);
  FilePrefix file;
  EXPECT_FALSE(read_save_file(folder.path("save"), file));
  return file;
}

std::string message_of(const Failure& failure) { return failure ? failure->text : "(none)"; }

std::unique_ptr<SlotTable> analysed(CardImage& card) {
  auto table = std::make_unique<SlotTable>();
  EXPECT_FALSE(analyse_card(card, *table, false));
  return table;
}

TEST(SaveFiles, TooShortFilesAreRefusedBeforeAnyFormatTest) {
  for (size_t length : {0, 1, 100, 128, 131}) {
    SaveSpec save;
    Bytes file = mcs_file(save);
    file.resize(length);
    const FilePrefix prefix = loaded(file);
    EXPECT_EQ(message_of(check_long_enough(prefix)), "Wrong File Format !\n(no SC header)") << length;
  }
  EXPECT_FALSE(check_long_enough(loaded(Bytes(132, 0))));
}

TEST(SaveFiles, McsSizeFieldLengthAndHeaderBlockCountMustAgree) {
  SaveSpec save;
  SaveImport import;
  const FilePrefix good = loaded(mcs_file(save));
  ASSERT_EQ(good.length, 8320u);
  ASSERT_TRUE(is_mcs(good));
  ASSERT_FALSE(take_mcs(good, import));
  EXPECT_EQ(import.blocks, 1);
  EXPECT_EQ(import.data.size(), 8192u);

  Bytes wrong_field = mcs_file(save);
  wrong_field[5] = 0x40;  // 16384
  wrong_field[127] ^= 0x40 ^ 0x20;
  Bytes wrong_count = mcs_file(save);
  wrong_count[131] = 2;
  Bytes ragged = mcs_file(save);
  ragged.push_back(0);
  for (const Bytes& file : {wrong_field, wrong_count, ragged}) {
    const FilePrefix prefix = loaded(file);
    ASSERT_TRUE(is_mcs(prefix));
    EXPECT_EQ(message_of(take_mcs(prefix, import)), "The MCS has a wrong size !");
  }
}

TEST(SaveFiles, AFirstFrameWithABadChecksumMakesARawFile) {
  SaveSpec save;
  Bytes file = mcs_file(save);
  file[127] ^= 1;
  const FilePrefix prefix = loaded(file);
  EXPECT_FALSE(is_mcs(prefix));
  EXPECT_EQ(message_of(check_raw_header(prefix)), "Wrong File Format !\n(no SC header)");
  Bytes not_first = mcs_file(save);
  not_first[0] = 0x52;
  not_first[127] ^= 0x51 ^ 0x52;
  EXPECT_FALSE(is_mcs(loaded(not_first)));
}

TEST(SaveFiles, RawFilesNeedAnScHeaderMatchingTheirRoundedUpSize) {
  SaveSpec save;
  save.blocks = 2;
  SaveImport import;
  const FilePrefix whole = loaded(raw_save_file(save));
  EXPECT_FALSE(check_raw_header(whole));
  EXPECT_TRUE(raw_is_whole_blocks(whole));
  ASSERT_FALSE(take_raw(whole, import));
  EXPECT_EQ(import.blocks, 2);
  EXPECT_EQ(import.directory[0], 0x51);
  EXPECT_EQ(read_le32(import.directory + 4), 16384u);

  Bytes partial = raw_save_file(save);
  partial.resize(8192 + 100);
  const FilePrefix ragged = loaded(partial);
  EXPECT_FALSE(raw_is_whole_blocks(ragged));
  ASSERT_FALSE(take_raw(ragged, import));
  ASSERT_EQ(import.data.size(), 16384u);
  EXPECT_EQ(0, std::memcmp(import.data.data(), partial.data(), partial.size()));
  for (size_t i = partial.size(); i < import.data.size(); ++i) ASSERT_EQ(import.data[i], 0) << i;

  Bytes three_says_one = raw_save_file(save);
  three_says_one[3] = 1;
  EXPECT_EQ(message_of(take_raw(loaded(three_says_one), import)),
            "SC Header do not correspond to file size !");
  Bytes bad_flag = raw_save_file(save);
  bad_flag[2] = 0x21;
  EXPECT_EQ(message_of(check_raw_header(loaded(bad_flag))), "Wrong File Format !\n(no SC header)");

  name_raw_save(import, "BASLUS-01234ABCDEFGHIJK");
  EXPECT_EQ(DirectoryFrame{import.directory}.name(), "BASLUS-01234ABCDEFGH");
  EXPECT_EQ(import.directory[30], 0);
}

TEST(SaveFiles, HugeFilesAreMeasuredButNeverReadWhole) {
  TempFolder folder;
  const std::string path = folder.path("huge.bin");
  write_file(path, raw_save_file(SaveSpec{}));
  ASSERT_EQ(truncate(path.c_str(), 3LL << 30), 0);  // 3 GiB, sparse
  FilePrefix file;
  ASSERT_FALSE(read_save_file(path, file));
  EXPECT_EQ(file.length, 3ull << 30);
  EXPECT_EQ(file.bytes.size(), kMaxSaveFileBytes);
  SaveImport import;
  EXPECT_FALSE(check_raw_header(file));
  EXPECT_EQ(message_of(take_raw(file, import)), "SC Header do not correspond to file size !");
}

TEST(SaveFiles, ImportNeedsRoomForEveryBlock) {
  CardImage card = blank_card();
  for (int i = 0; i < 14; ++i) add_save(card, SaveSpec{});
  SaveSpec two;
  two.blocks = 2;
  SaveImport import;
  ASSERT_FALSE(take_mcs(loaded(mcs_file(two)), import));
  const CardImage before = card;
  EXPECT_EQ(message_of(import_save(card, analysed(card)->used, import)),
            "Not enough space on the current Memory Card to import this file !\nYou need 2 free blocks.");
  EXPECT_EQ(card.bytes, before.bytes);
}

TEST(SaveFiles, ExportThenImportReproducesTheBlocksInChainOrder) {
  CardImage source = blank_card();
  add_save(source, SaveSpec{});
  SaveSpec save;
  save.blocks = 3;
  save.seed = 0x30;
  save.name = "BESCES-00344RACE";
  put_save(source, save, {7, 2, 11});
  std::vector<uint8_t> mcs;
  ASSERT_FALSE(export_save(source, 7, mcs));
  ASSERT_EQ(mcs.size(), 128u + 3 * 8192);
  EXPECT_EQ(0, std::memcmp(mcs.data(), directory_frame(source, 7), 128));
  for (int n = 0; n < 3; ++n)
    EXPECT_EQ(0, std::memcmp(mcs.data() + 128 + n * 8192, data_block(source, std::vector<int>{7, 2, 11}[n]), 8192));

  CardImage target = blank_card();
  add_save(target, SaveSpec{});
  add_save(target, SaveSpec{});
  SaveImport import;
  const FilePrefix file = loaded(Bytes(mcs.begin(), mcs.end()));
  ASSERT_TRUE(is_mcs(file));
  ASSERT_FALSE(take_mcs(file, import));
  ASSERT_FALSE(import_save(target, analysed(target)->used, import));
  const auto table = analysed(target);
  EXPECT_EQ(table->status[2], 3);
  EXPECT_EQ(table->used, 5);
  for (int n = 0; n < 3; ++n) {
    const uint8_t* frame_bytes = directory_frame(target, 2 + n);
    EXPECT_EQ(0, std::memcmp(data_block(target, 2 + n), mcs.data() + 128 + n * 8192, 8192));
    EXPECT_EQ(frame_bytes[0], n == 0 ? 0x51 : (n == 1 ? 0x52 : 0x53));
    EXPECT_EQ(0, std::memcmp(frame_bytes + 1, mcs.data() + 1, 7));
    EXPECT_EQ(0, std::memcmp(frame_bytes + 10, mcs.data() + 10, 117));
  }
  std::vector<uint8_t> again;
  ASSERT_FALSE(export_save(target, 2, again));
  EXPECT_EQ(0, std::memcmp(again.data() + 128, mcs.data() + 128, 3 * 8192));
}

TEST(SaveFiles, ExportStopsAtBrokenLinksAndLoops) {
  for (uint8_t link : {uint8_t(15), uint8_t(0x33), uint8_t(0), uint8_t(4)}) {
    CardImage card = blank_card();
    SaveSpec save;
    save.blocks = 3;
    put_save(card, save, {4, 5, 6});
    set_link(card, 6, link);  // out of the directory, or back into the chain
    std::vector<uint8_t> mcs(10, 1);
    const Failure failure = export_save(card, 4, mcs);
    if (link == 0) {  // slot 0 is a free block outside the chain: the walk takes it
      EXPECT_FALSE(failure);
      continue;
    }
    ASSERT_TRUE(failure) << int(link);
    EXPECT_EQ(failure->text, "Corrupted Block !");
    EXPECT_EQ(failure->caption, "Cannot Export");
    EXPECT_TRUE(mcs.empty());
  }
}

TEST(SaveFiles, OnlySavesAndAllowedCorruptedBlocksExport) {
  CardImage card = blank_card();
  add_save(card, SaveSpec{});
  break_checksum(card, 2);
  const auto table = analysed(card);
  EXPECT_FALSE(check_exportable(*table, 0, false));
  EXPECT_EQ(message_of(check_exportable(*table, 1, false)), "Corrupted Block !");
  EXPECT_FALSE(check_exportable(*table, 1, true));
  EXPECT_EQ(message_of(check_exportable(*table, 2, true)), "Empty Block !");
  EXPECT_EQ(check_exportable(*table, 2, true)->caption, "Cannot Export");
}

}  // namespace

namespace {

TEST(ImportSaveFile, AsksOnlyWhatTheFileNeedsAndImportsOnlyWhenAnswered) {
  int ragged_questions = 0, name_questions = 0;
  bool answer_ragged = false;
  std::string name;
  ImportQuestions questions;
  questions.import_ragged_file = [&] { ++ragged_questions; return answer_ragged; };
  questions.name_raw_save = [&] { ++name_questions; return name; };

  CardImage card = blank_card();
  const CardImage blank = card;
  bool imported = true;
  SaveSpec save;
  EXPECT_FALSE(import_save_file(loaded(mcs_file(save)), card, 0, questions, imported));
  EXPECT_TRUE(imported);
  EXPECT_EQ(ragged_questions + name_questions, 0);  // an MCS carries its name

  card = blank;
  Bytes ragged = raw_save_file(save);
  ragged.resize(5000);
  EXPECT_FALSE(import_save_file(loaded(ragged), card, 0, questions, imported));
  EXPECT_FALSE(imported);
  EXPECT_EQ(ragged_questions, 1);
  EXPECT_EQ(name_questions, 0);
  answer_ragged = true;
  EXPECT_FALSE(import_save_file(loaded(ragged), card, 0, questions, imported));  // no name given
  EXPECT_FALSE(imported);
  EXPECT_EQ(name_questions, 1);
  EXPECT_EQ(card.bytes, blank.bytes);
  name = "BASLUS-00001X";
  EXPECT_FALSE(import_save_file(loaded(ragged), card, 0, questions, imported));
  EXPECT_TRUE(imported);
  EXPECT_EQ(DirectoryFrame{directory_frame(card, 0)}.name(), name);

  const Failure full = import_save_file(loaded(raw_save_file(save)), card, 15, questions, imported);
  ASSERT_TRUE(full);
  EXPECT_FALSE(imported);
  EXPECT_EQ(full->caption, "File Error");
}

}  // namespace

namespace {

ImportQuestions answering(const std::string& name, std::vector<std::string>* notices = nullptr) {
  ImportQuestions questions;
  questions.import_ragged_file = [] { return false; };
  questions.name_raw_save = [name] { return name; };
  questions.notice = [notices](const std::string& text) {
    if (notices) notices->push_back(text);
  };
  return questions;
}

TEST(SaveFormats, ASaveExportedInEveryFormatImportsBackToTheSameSave) {
  CardImage source = blank_card();
  SaveSpec save;
  save.blocks = 3;
  save.seed = 0x40;
  save.name = "BESCES-00344RACE";
  save.title = "\x82\x71\x82\x60\x82\x62\x82\x64";  // ＲＡＣＥ
  put_save(source, save, {7, 2, 11});
  for (SaveFormat format : {SaveFormat::mcs, SaveFormat::psx, SaveFormat::psv, SaveFormat::raw}) {
    std::vector<uint8_t> file;
    ASSERT_FALSE(export_save(source, 7, format, file)) << save_format_name(format);
    CardImage target = blank_card();
    add_save(target, SaveSpec{});
    bool imported = false;
    // Only the raw file, which holds no name, asks for one.
    ASSERT_FALSE(import_save_file(loaded(Bytes(file.begin(), file.end())), target, 1,
                                  answering(format == SaveFormat::raw ? save.name : ""), imported));
    ASSERT_TRUE(imported) << save_format_name(format);
    const auto table = analysed(target);
    EXPECT_EQ(table->status[1], 3);
    EXPECT_EQ(DirectoryFrame{directory_frame(target, 1)}.name(), save.name);
    EXPECT_EQ(read_le32(directory_frame(target, 1) + kDirSize), 3u * 8192);
    const Bytes blocks = save_blocks(save);
    for (int n = 0; n < 3; ++n)
      EXPECT_EQ(0, std::memcmp(data_block(target, 1 + n), blocks.data() + n * 8192, 8192)) << n;
    // Exported again, the file is the same but for an MCS frame's links.
    std::vector<uint8_t> again;
    ASSERT_FALSE(export_save(target, 1, format, again));
    if (format == SaveFormat::mcs) {
      EXPECT_TRUE(std::equal(again.begin() + 128, again.end(), file.begin() + 128));
    } else {
      EXPECT_EQ(again, file) << save_format_name(format);
    }
  }
}

TEST(SaveFormats, PsvAndPsxHeadersAreTheOnesThePs3AndTheCheatDevicesWrite) {
  CardImage card = blank_card();
  SaveSpec save;
  save.name = "BESLES-53702SYS";
  save.title = "TITLE";
  save.blocks = 2;
  add_save(card, save);
  std::vector<uint8_t> psv, psx;
  ASSERT_FALSE(export_save(card, 0, SaveFormat::psv, psv));
  ASSERT_FALSE(export_save(card, 0, SaveFormat::psx, psx));
  // The maker writes the header field by field; only the seed and the
  // signature are the program's own.
  Bytes expected = psv_file(save);
  std::copy(psv.begin() + 8, psv.begin() + 0x30, expected.begin() + 8);
  EXPECT_EQ(Bytes(psv.begin(), psv.end()), expected);
  EXPECT_EQ(Bytes(psv.begin() + 0x1C, psv.begin() + 0x30), openssl_signature(Bytes(psv.begin(), psv.end()), 8, 0x1C));
  EXPECT_EQ(Bytes(psx.begin(), psx.end()), psx_file(save));
}

TEST(SaveFormats, PsvSignaturesAreCheckedAndPs2SavesRefused) {
  SaveSpec save;
  save.name = "BASLUS-00123PSV";
  const Bytes good = signed_by_openssl(psv_file(save, 0x31), 8, 0x1C);
  std::vector<std::string> notices;
  CardImage card = blank_card();
  bool imported = false;
  ASSERT_FALSE(import_save_file(loaded(good), card, 0, answering("", &notices), imported));
  EXPECT_TRUE(imported);
  EXPECT_TRUE(notices.empty());
  EXPECT_EQ(DirectoryFrame{directory_frame(card, 0)}.name(), save.name);

  Bytes tampered = good;
  tampered[0x84 + 5000] ^= 1;
  ASSERT_FALSE(import_save_file(loaded(tampered), card, 1, answering("", &notices), imported));
  EXPECT_TRUE(imported);  // the card does not check it: told, then imported
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_NE(notices[0].find("signature of this PSV file is wrong"), std::string::npos);

  Bytes ps2 = good;
  ps2[0x3C] = 2;
  const CardImage before = card;
  EXPECT_NE(message_of(import_save_file(loaded(ps2), card, 2, answering(""), imported)).find("PS2"),
            std::string::npos);
  Bytes short_psv = good;
  short_psv.pop_back();
  EXPECT_EQ(message_of(import_save_file(loaded(short_psv), card, 2, answering(""), imported)),
            "The PSV has a wrong size !");
  Bytes ragged_psx = psx_file(save);
  ragged_psx.push_back(0);
  EXPECT_EQ(message_of(import_save_file(loaded(ragged_psx), card, 2, answering(""), imported)),
            "The save file has a wrong size !");
  EXPECT_EQ(card.bytes, before.bytes);
  const Failure ps2_container = import_save_file(loaded(Bytes(4096, 0x20)), card, 2, answering(""), imported);
  EXPECT_EQ(message_of(name_ps2_container("game.MAX", ps2_container)),
            "This is a PS2 save (.max: Action Replay Max), which this program does not read.");
  EXPECT_EQ(message_of(name_ps2_container("game.bin", ps2_container)), "Wrong File Format !\n(no SC header)");

  // A header with no name asks for one, as a raw save does.
  SaveSpec unnamed = save;
  unnamed.name = "";
  ASSERT_FALSE(import_save_file(loaded(psx_file(unnamed)), card, 2, answering(""), imported));
  EXPECT_FALSE(imported);
  ASSERT_FALSE(import_save_file(loaded(psx_file(unnamed)), card, 2, answering("BASLUS-00999N"), imported));
  EXPECT_TRUE(imported);
  EXPECT_EQ(DirectoryFrame{directory_frame(card, 2)}.name(), "BASLUS-00999N");
}

TEST(SaveFormats, FileNamesFollowThePs3RuleAndWhatFileSystemsAllow) {
  EXPECT_EQ(save_file_name("BESLES-53702SYS", SaveFormat::psv), "BESLES-53702535953.PSV");
  EXPECT_EQ(save_file_name("BASLUS-00001", SaveFormat::psv), "BASLUS-00001.PSV");
  EXPECT_EQ(save_file_name("BASLUS-0123?A:B", SaveFormat::mcs), "BASLUS-0123_A_B.mcs");
  EXPECT_EQ(save_file_name("BISLPS-0001\x82\xA0/", SaveFormat::raw), "BISLPS-0001___");
  EXPECT_EQ(save_file_name("BASLUS-0123?A", SaveFormat::psv), "BASLUS-0123_41.PSV");
  EXPECT_EQ(safe_file_name("CON"), "_CON");
  EXPECT_EQ(safe_file_name("lpt1.psx"), "_lpt1.psx");
  EXPECT_EQ(safe_file_name("SAVE. "), "SAVE__");
  EXPECT_EQ(safe_file_name(""), "_");
  EXPECT_EQ(save_format_for_path("x/SAVE.PS1"), SaveFormat::mcs);
  EXPECT_EQ(save_format_for_path("a.pda"), SaveFormat::psx);
  EXPECT_EQ(save_format_for_path("a.psv.bin", SaveFormat::mcs), SaveFormat::raw);
  EXPECT_EQ(save_format_for_path("a.sav", SaveFormat::mcs), SaveFormat::mcs);
  EXPECT_EQ(save_format_for_path("dir.psv/save"), SaveFormat::raw);
}

}  // namespace
