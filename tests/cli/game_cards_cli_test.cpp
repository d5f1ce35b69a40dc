// split, gather and list FOLDER as a person runs them on an SD card's
// folder: what they print, their exit status and the files they leave.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "tests/cli/run_program.h"
#include "tests/files/temp_folder.h"
#include "tests/support/card_maker.h"

namespace {

// "ＦＩＮＡＬ　ＦＡＮＴＡＳＹ" in Shift-JIS: full-width letters and the ideographic space.
const std::string kFinalFantasy =
    "\x82\x65\x82\x68\x82\x6D\x82\x60\x82\x6B\x81\x40\x82\x65\x82\x60\x82\x6D\x82\x73\x82\x60\x82\x72\x82\x78";

class GameCardsCli : public testing::Test {
 protected:
  ProgramRun cli(const std::vector<std::string>& arguments) {
    return run_program(QUILLCREST_CLI, arguments, {{"XDG_DATA_HOME", folder.path("data")}});
  }
  bool exists(const std::string& path) {
    struct stat status;
    return stat(path.c_str(), &status) == 0;
  }
  TempFolder folder;
};

// The saves in the order a gather puts them back: by game, then name.
CardImage source_card() {
  CardImage card = blank_card();
  SaveSpec ff7;
  ff7.name = "BASCUS-94163FF7-S01";
  ff7.title = kFinalFantasy;
  SaveSpec gt;
  gt.name = "BESCES-00984GT";
  gt.blocks = 3;
  gt.seed = 7;
  put_save(card, gt, {0, 1, 2});
  put_save(card, ff7, {3});
  SaveSpec homebrew;
  homebrew.name = "tonyhax";
  homebrew.seed = 9;
  put_save(card, homebrew, {4});
  return card;
}

TEST_F(GameCardsCli, SplitsACardAndGathersItBackByteForByte) {
  const std::string card = folder.path("memcard.mcr");
  write_file(card, card_bytes(source_card()));
  const std::string sd = folder.path("SDCARD");
  ProgramRun run = cli({"split", card, "--into", sd, "--layout", "sd2psx", "--dry-run"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, card + ", slot 1: BESCES-00984GT (3 blocks) to " + sd +
                         "/MemoryCards/PS1/SCES-00984/SCES-00984-1.mcd\n" + card +
                         ", slot 4: BASCUS-94163FF7-S01 (1 block) to " + sd +
                         "/MemoryCards/PS1/SCUS-94163/SCUS-94163-1.mcd\n" + card + ", slot 5: tonyhax (1 block) to " +
                         sd + "/MemoryCards/PS1/Other/Other-1.mcd\n"
                              "3 saves split into 3 game cards.\nDry run: nothing written.\n");
  EXPECT_FALSE(exists(sd));

  run = cli({"split", card, "--into", sd, "--layout", "sd2psx"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("\nWrote 3 card files.\n"), std::string::npos) << run.out;
  // Run again: each save is there already.
  run = cli({"split", card, "--into", sd + "/MemoryCards/PS1", "--layout", "sd2psx", "--json"});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("\"outcome\": \"already-there\", \"card\": \"" + sd +
                         "/MemoryCards/PS1/SCES-00984/SCES-00984-1.mcd\", \"channel\": 1"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("\"written\": [], \"backups\": []}"), std::string::npos);

  // The library, searched by title as the window shows it and by product code.
  const std::string ini = "[ChannelName]\n1=Main\n\n";
  write_file(sd + "/MemoryCards/PS1/SCUS-94163/SCUS-94163.ini", Bytes(ini.begin(), ini.end()));
  ASSERT_EQ(mkdir((sd + "/MemoryCards/PS1/Card1").c_str(), 0700), 0);
  write_file(sd + "/MemoryCards/PS1/Card1/Card1-1.mcd", Bytes(100, 0));
  run = cli({"list", sd, "--find", "final fantasy"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, sd + "/MemoryCards/PS1/SCUS-94163/SCUS-94163-1.mcd\tsd2psx\tcard SCUS-94163\tgame SCUS-94163\t"
                          "channel 1\tMain\t1/15\n\t1\tsave\t1\t1 Block, America, SCUS-94163 : FF7-S01\t"
                          "BASCUS-94163FF7-S01\t\xEF\xBC\xA6\xEF\xBC\xA9\xEF\xBC\xAE\xEF\xBC\xA1\xEF\xBC\xAC\xE3\x80\x80"
                          "\xEF\xBC\xA6\xEF\xBC\xA1\xEF\xBC\xAE\xEF\xBC\xB4\xEF\xBC\xA1\xEF\xBC\xB3\xEF\xBC\xB9\n"
                          "1 card, 1 save\n");
  EXPECT_EQ(cli({"list", sd, "--find", "sces00984"}).out.find(sd + "/MemoryCards/PS1/SCES-00984/SCES-00984-1.mcd\t"), 0u);
  run = cli({"list", sd});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out.find(sd + "/MemoryCards/PS1/Card1/Card1-1.mcd\tno card\tWrong file size !\n"), 0u) << run.out;
  EXPECT_NE(run.out.find("\n3 cards, 3 saves, 1 file is no card\n"), std::string::npos) << run.out;
  run = cli({"list", sd, "--json"});
  EXPECT_NE(run.out.find("{\"path\": \"" + sd + "/MemoryCards/PS1/Card1/Card1-1.mcd\", \"error\": \"Wrong file size !\"}"),
            std::string::npos);
  EXPECT_NE(run.out.find("\"channel\": 1, \"channel_name\": \"Main\", \"format\": \"raw\", \"used\": 1"),
            std::string::npos);

  // And back: a dry run writes nothing; the gathered card is the card it was.
  const std::string back = folder.path("back.mcr");
  run = cli({"gather", sd, "--into", back, "--dry-run"});
  EXPECT_EQ(run.status, 1);  // the file that is no card is listed as what was not taken
  EXPECT_NE(run.out.find(sd + "/MemoryCards/PS1/Card1/Card1-1.mcd: no card: Wrong file size !\n"), std::string::npos);
  EXPECT_FALSE(exists(back));
  std::remove((sd + "/MemoryCards/PS1/Card1/Card1-1.mcd").c_str());
  run = cli({"gather", sd, "--into", back});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("3 saves gathered from 3 cards.\nWrote " + back + " (5/15).\n"), std::string::npos) << run.out;
  EXPECT_EQ(read_file(back), card_bytes(source_card()));
  // Again into the same card: nothing twice, the file left as it was.
  run = cli({"gather", sd, "--into", back, "--game", "SCUS-94163,sces-00984"});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("Nothing to add: " + back + " is left as it was.\n"), std::string::npos) << run.out;
  EXPECT_EQ(read_file(back), card_bytes(source_card()));
}

TEST_F(GameCardsCli, ATargetThatCannotBeWrittenIsNamedAndAWrongCommandLineIsTold) {
  const std::string card = folder.path("memcard.mcr");
  write_file(card, card_bytes(source_card()));
  write_file(folder.path("sd"), Bytes(1));  // a file where the folder should be
  ProgramRun run = cli({"split", card, "--into", folder.path("sd"), "--layout", "memcardpro"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "quillcrest-cli: " + folder.path("sd") + ": " + folder.path("sd") + ": this is no folder.\n");
  EXPECT_EQ(read_file(folder.path("sd")), Bytes(1));
  // A folder that cannot be made names itself, and nothing is half-written.
  run = cli({"split", card, "--into", folder.path("sd/inner"), "--layout", "duckstation"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("quillcrest-cli: " + folder.path("sd/inner/memcards") + ": Cannot make the folder.\n"),
            std::string::npos)
      << run.err;

  for (const std::vector<std::string>& words :
       std::vector<std::vector<std::string>>{{"split", card, "--into", "sd"},
                                             {"split", card, "--into", "sd", "--layout", "pocketstation"},
                                             {"split", "--into", "sd", "--layout", "sd2psx"},
                                             {"gather", "sd"},
                                             {"gather", "sd", "--into", "a.mcr", "--adaptor"},
                                             {"gather", "sd", "--into", "a.mcr", "--game", "FF7"},
                                             {"gather", "sd", "--into", "a.mcr", "--channel", "9"},
                                             {"list", folder.path(""), "--deleted"},
                                             {"list", card, "--find", "x"}}) {
    run = cli(words);
    EXPECT_EQ(run.status, 2) << testing::PrintToString(words);
    EXPECT_TRUE(run.out.empty());
  }
}

}  // namespace
