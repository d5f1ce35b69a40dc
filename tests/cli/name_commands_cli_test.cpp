// rename and comment as a person runs them: the file changed in its own
// format, a refusal leaving it byte for byte, comments that survive.
#include <gtest/gtest.h>

#include <string>

#include "tests/cli/run_program.h"
#include "tests/files/temp_folder.h"
#include "tests/support/card_maker.h"

namespace {

ProgramRun cli(const std::vector<std::string>& arguments) { return run_program(QUILLCREST_CLI, arguments); }

CardImage two_saves() {
  CardImage card = blank_card();
  SaveSpec game;
  game.name = "BESLES-01234GAME01";
  game.blocks = 2;
  put_save(card, game, {0, 1});
  SaveSpec demo;
  demo.name = "BASLUS-00001DEMO";
  demo.seed = 3;
  put_save(card, demo, {2});
  return card;
}

TEST(CliRename, RenamesTheSaveOrItsRegionAndRefusesWhatTheCardCannotTake) {
  TempFolder folder;
  const std::string card = folder.path("card.mcr");
  write_file(card, card_bytes(two_saves()));
  ProgramRun run = cli({"rename", card, "2", "--region", "america"});  // slot 2: the save's further block
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "Renamed slot 1 from BESLES-01234GAME01 to BASLES-01234GAME01 in " + card +
                         ".\nA game finds a renamed save only if the new name is the one it looks for.\n");
  run = cli({"list", card});
  EXPECT_EQ(run.out.substr(0, run.out.find('\n')), "1\tsave\t2\t2 Blocks, America, SLES-01234 : GAME01\t"
                                                   "BASLES-01234GAME01\tDEMO");
  EXPECT_EQ(cli({"check", card}).status, 0);  // every checksum made anew
  run = cli({"rename", card, "3", "BISLPS-00001DEMO", "--output", folder.path("out.vmp")});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(cli({"list", folder.path("out.vmp")}).out.find("\tBISLPS-00001DEMO\t"), std::string::npos);

  const Bytes before = read_file(card);
  for (const std::vector<std::string>& words : std::vector<std::vector<std::string>>{
           {"rename", card, "3", "BASLES-01234GAME01"},       // the other save's name
           {"rename", card, "3", "BASLUS-00001DEMO-TOOLONG"},  // 24 characters
           {"rename", card, "9", "BASLUS-00009X"}}) {          // no save
    run = cli(words);
    EXPECT_EQ(run.status, 1) << testing::PrintToString(words);
    EXPECT_EQ(run.err.find("quillcrest-cli: " + card + ": "), 0u) << run.err;
  }
  EXPECT_EQ(cli({"rename", card, "1", "--region", "mars"}).status, 2);
  EXPECT_EQ(cli({"rename", card, "1", "NAME", "--region", "japan"}).status, 2);
  EXPECT_EQ(read_file(card), before);
}

TEST(CliComment, SetsAGmeCommentThatSurvivesAndIsToldWhenLost) {
  TempFolder folder;
  const std::string gme = folder.path("card.gme");
  Bytes file = gme_file(two_saves());
  set_gme_comment(file, 2, "the demo");
  write_file(gme, file);
  ProgramRun run = cli({"comment", gme, "1", "before the last boss"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "Set the comment of slot 1 (BESLES-01234GAME01) in " + gme + ".\n");
  // A renamed save keeps its comment; converted to GME every comment stays.
  EXPECT_EQ(cli({"rename", gme, "1", "BASLES-01234GAME01"}).status, 0);
  EXPECT_EQ(cli({"convert", gme, folder.path("copy.gme")}).status, 0);
  run = cli({"list", folder.path("copy.gme"), "--json"});
  EXPECT_NE(run.out.find("\"name\": \"BASLES-01234GAME01\", \"info\": \"2 Blocks, America, SLES-01234 : GAME01\", "
                         "\"title\": \"DEMO\", \"comment\": \"before the last boss\"}"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("\"comment\": \"the demo\"}"), std::string::npos);
  // Written in a format without comments, it says so once.
  run = cli({"convert", gme, folder.path("card.mcr")});
  EXPECT_EQ(run.err, "Warning: The GME comments of the saves are not kept: only a GME file holds them.\n");
  // Refusals leave the file as it was.
  const Bytes before = read_file(gme);
  for (const std::vector<std::string>& words : std::vector<std::vector<std::string>>{
           {"comment", gme, "1", std::string(256, 'x')},
           {"comment", gme, "1", "line\nbreak"},
           {"comment", gme, "5", "no save here"},
           {"comment", folder.path("card.mcr"), "1", "raw"},
           {"comment", gme, "1", "into raw", "--output", folder.path("other.mcr")}}) {
    run = cli(words);
    EXPECT_EQ(run.status, 1) << testing::PrintToString(words);
  }
  EXPECT_EQ(read_file(gme), before);
  EXPECT_EQ(cli({"comment", gme, "3", ""}).out, "Cleared the comment of slot 3 (BASLUS-00001DEMO) in " + gme + ".\n");
  EXPECT_EQ(cli({"list", gme, "--json"}).out.find("the demo"), std::string::npos);
}

}  // namespace
