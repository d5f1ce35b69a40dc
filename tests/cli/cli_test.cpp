// quillcrest-cli as a script or a person runs it: its output, its exit
// status and the files it leaves. The adaptor commands run the emulated build.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <string>

#include "adaptor/emulator/pty_reader.h"
#include "card/editing.h"
#include "tests/cli/run_program.h"
#include "tests/files/temp_folder.h"
#include "tests/support/card_maker.h"
#include "tests/support/openssl_signature.h"

// The readers by name in the tests' descriptions.
void PrintTo(ReaderKind kind, std::ostream* out) {
  *out << (kind == ReaderKind::ps3           ? "ps3"
           : kind == ReaderKind::memcarduino ? "memcarduino"
           : kind == ReaderKind::dexdrive    ? "dexdrive"
                                             : "ps1cardlink");
}

namespace {

const std::string kPocketTitle = "\x83\x7C\x83\x50\x83\x62\x83\x67";  // ポケット in Shift-JIS

ProgramRun cli(const std::vector<std::string>& arguments,
               const std::map<std::string, std::string>& environment = {}) {
  return run_program(QUILLCREST_CLI, arguments, environment);
}

SaveSpec pocket_save() {
  SaveSpec save;
  save.name = "BISLPSP00001GAME";
  save.title = kPocketTitle;
  save.blocks = 2;
  save.seed = 20;
  return save;
}

// Slot 1 a save, 2-3 a two-block save, 4 a save whose name needs escaping,
// 5 a damaged directory frame.
CardImage listed_card() {
  CardImage card = blank_card();
  put_save(card, SaveSpec{}, {0});
  put_save(card, pocket_save(), {1, 2});
  SaveSpec odd;
  odd.name = "BESLES-00003Q\"\\\xE9";
  odd.title = "\x82\xA0\t\n";  // あ, then what would split a line
  put_save(card, odd, {3});
  SaveSpec damaged;
  damaged.name = "BASLUS-00004BROKE";
  put_save(card, damaged, {4});
  break_checksum(card, 5);
  return card;
}

bool starts_with(const std::string& text, const std::string& start) {
  return text.compare(0, start.size(), start) == 0;
}

std::string free_lines(int from) {
  std::string lines;
  for (int slot = from; slot <= 15; ++slot) lines += std::to_string(slot) + "\tfree\n";
  return lines;
}

TEST(Cli, ListsTheSlotsAsTheWindowAnalysesThem) {
  TempFolder folder;
  write_file(folder.path("card.mcr"), card_bytes(listed_card()));
  const std::string common =
      "1\tsave\t1\t1 Block, America, SLUS-00001 : DEMO\tBASLUS-00001DEMO\tDEMO\n"
      "2\tsave\t2\t2 Blocks, Japan, SLPS-00001 : PocketStation : GAME\tBISLPSP00001GAME\t"
      "\xE3\x83\x9D\xE3\x82\xB1\xE3\x83\x83\xE3\x83\x88\n"
      "3\tmore\tof 2\n"
      "4\tsave\t1\t1 Block, Europe, SLES-00003 : Q\"\\\xC3\xA9\tBESLES-00003Q\"\\\xC3\xA9\t\xE3\x81\x82"
      "\xEF\xBF\xBD\xEF\xBF\xBD\n";
  ProgramRun run = cli({"list", folder.path("card.mcr")});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, common + "5\tcorrupted\n" + free_lines(6) + "4/15\n");
  // As with "Allow Corrupted Save" checked.
  run = cli({"list", "--allow-corrupted", folder.path("card.mcr")});
  EXPECT_EQ(run.out, common +
                         "5\tsave\t1\t1 Block, America, SLUS-00004 : BROKE\tBASLUS-00004BROKE\tDEMO\n" +
                         free_lines(6) + "5/15\n");

  run = cli({"list", folder.path("card.mcr"), "--json"});
  EXPECT_EQ(run.status, 0);
  std::string json =
      "{\"used\": 4, \"format\": \"raw\", \"slots\": [\n"
      "  {\"slot\": 1, \"state\": \"save\", \"blocks\": 1, \"name\": \"BASLUS-00001DEMO\", "
      "\"info\": \"1 Block, America, SLUS-00001 : DEMO\", \"title\": \"DEMO\"},\n"
      "  {\"slot\": 2, \"state\": \"save\", \"blocks\": 2, \"name\": \"BISLPSP00001GAME\", "
      "\"info\": \"2 Blocks, Japan, SLPS-00001 : PocketStation : GAME\", "
      "\"title\": \"\xE3\x83\x9D\xE3\x82\xB1\xE3\x83\x83\xE3\x83\x88\"},\n"
      "  {\"slot\": 3, \"state\": \"more\", \"first\": 2},\n"
      "  {\"slot\": 4, \"state\": \"save\", \"blocks\": 1, \"name\": \"BESLES-00003Q\\\"\\\\\xC3\xA9\", "
      "\"info\": \"1 Block, Europe, SLES-00003 : Q\\\"\\\\\xC3\xA9\", \"title\": \"\xE3\x81\x82\\u0009\\u000a\"},\n"
      "  {\"slot\": 5, \"state\": \"corrupted\"},\n";
  for (int slot = 6; slot <= 15; ++slot)
    json += "  {\"slot\": " + std::to_string(slot) + ", \"state\": \"free\"}" + (slot < 15 ? ",\n" : "\n");
  EXPECT_EQ(run.out, json + "]}\n");
}

TEST(Cli, EditsCardFilesAndLeavesThemWholeWhenItFails) {
  TempFolder folder;
  const std::string card = folder.path("card.mcr");
  write_file(card, card_bytes(listed_card()));
  SaveSpec race;
  race.name = "BESCES-00344RACE";
  race.blocks = 3;
  write_file(folder.path("race.mcs"), mcs_file(race));
  ProgramRun run = cli({"import", card, folder.path("race.mcs")});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "Imported BESCES-00344RACE (3 blocks) into slot 6 of " + card + ".\n");
  const Bytes with_race = read_file(card);

  // Refusals change nothing and say why, in the window's words.
  SaveSpec big;
  big.blocks = 9;
  write_file(folder.path("big.mcs"), mcs_file(big));
  run = cli({"import", card, folder.path("big.mcs")});
  EXPECT_EQ(run.status, 1);
  // Each failure names the file it is about, the window's words after it.
  EXPECT_EQ(run.err, "quillcrest-cli: " + card +
                         ": Not enough space on the current Memory Card to import this file !\nYou need 9 free "
                         "blocks.\n");
  write_file(folder.path("game.bin"), raw_save_file(SaveSpec{}));
  run = cli({"import", card, folder.path("game.bin")});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("--name"), std::string::npos) << run.err;
  Bytes ragged = raw_save_file(SaveSpec{});
  ragged.resize(8000);
  write_file(folder.path("ragged.bin"), ragged);
  run = cli({"import", card, folder.path("ragged.bin"), "--name", "BASLUS-00009RAG"});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(starts_with(run.err, "quillcrest-cli: " + folder.path("ragged.bin") +
                                       ": Binary File is not multiple of 8k !\n"
                                       "Do you want to import it anyway ?\nAnswered No")) << run.err;
  run = cli({"delete", card, "10"});  // a free slot
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "quillcrest-cli: " + card + ": Empty Block !\n");
  run = cli({"export", card, "5", folder.path("broken.mcs")});
  EXPECT_EQ(run.err, "quillcrest-cli: " + card + ": Corrupted Block !\n");
  EXPECT_TRUE(read_file(folder.path("broken.mcs")).empty());
  run = cli({"icon", card, "10", folder.path("free.png")});
  EXPECT_EQ(run.err, "quillcrest-cli: " + card + ": Empty Block !\n");
  run = cli({"icon", card, "5", folder.path("broken.gif")});
  EXPECT_EQ(run.err, "quillcrest-cli: " + card + ": Corrupted Block !\n");
  EXPECT_TRUE(read_file(folder.path("free.png")).empty() && read_file(folder.path("broken.gif")).empty());
  EXPECT_EQ(read_file(card), with_race);

  // With --yes and --output the original stays, the new card holds the save.
  run = cli({"import", card, folder.path("ragged.bin"), "--yes", "--name=BASLUS-00009RAG", "--output",
             folder.path("more.mcr")});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "Imported BASLUS-00009RAG (1 block) into slot 9 of " + folder.path("more.mcr") + ".\n");
  EXPECT_EQ(read_file(card), with_race);

  // A further block stands for its save, as a click on it does.
  run = cli({"export", card, "3", folder.path("pocket.mcs")});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(read_file(folder.path("pocket.mcs")).size(), 128u + 2 * 8192);
  run = cli({"icon", card, "3", folder.path("pocket.png"), "--size=32"});
  EXPECT_EQ(run.out, "Wrote the icon of slot 2 (BISLPSP00001GAME) to " + folder.path("pocket.png") + ", 32x32.\n");
  run = cli({"delete", card, "3"});
  EXPECT_EQ(run.out, "Deleted slot 2 (BISLPSP00001GAME, 2 blocks) from " + card + ".\n");
  EXPECT_TRUE(starts_with(cli({"list", card}).out, "1\tsave\t1\t1 Block, America"));
  EXPECT_NE(cli({"list", card}).out.find("2\tfree\n3\tfree\n"), std::string::npos);

  // GME in, raw out; a new card; a file too short to be a card.
  write_file(folder.path("card.gme"), gme_file(listed_card()));
  EXPECT_EQ(cli({"convert", folder.path("card.gme"), folder.path("plain.mcr")}).status, 0);
  EXPECT_EQ(read_file(folder.path("plain.mcr")), card_bytes(listed_card()));
  EXPECT_EQ(cli({"format", folder.path("new.mcr")}).status, 0);
  EXPECT_EQ(read_file(folder.path("new.mcr")), card_bytes(blank_card()));
  write_file(folder.path("short.mcr"), Bytes(1000, 0));
  run = cli({"list", folder.path("short.mcr")});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "quillcrest-cli: " + folder.path("short.mcr") + ": Wrong file size !\n");
}

TEST(Cli, UndeletesWhatWasDeletedAndChecksCardsWithoutChangingThem) {
  TempFolder folder;
  const std::string card = folder.path("card.mcr");
  write_file(card, card_bytes(listed_card()));
  ASSERT_EQ(cli({"delete", card, "3"}).status, 0);
  EXPECT_EQ(cli({"list", card, "--deleted"}).out,
            "2\tdeleted\t2\tBISLPSP00001GAME\t\xE3\x83\x9D\xE3\x82\xB1\xE3\x83\x83\xE3\x83\x88\t"
            "can be restored\n1 of 1 can be restored\n");
  ProgramRun run = cli({"undelete", card, "2", "--output", folder.path("back.mcr")});
  EXPECT_EQ(run.out, "Restored slot 2 (BISLPSP00001GAME, 2 blocks) in " + folder.path("back.mcr") + ".\n");
  EXPECT_EQ(read_file(folder.path("back.mcr")), card_bytes(listed_card()));

  // A new save takes the deleted save's first block: the rest cannot come back.
  write_file(folder.path("one.mcs"), mcs_file(SaveSpec{}));
  ASSERT_EQ(cli({"import", card, folder.path("one.mcs")}).status, 0);
  EXPECT_EQ(cli({"list", card, "--deleted"}).out,
            "3\tdeleted block\tcannot be restored: it is a further block of a deleted save whose first "
            "block is gone\n0 of 1 can be restored\n");
  const Bytes before = read_file(card);
  run = cli({"undelete", card, "3"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "quillcrest-cli: " + card +
                         ": Cannot undelete slot 3: it holds a further block of a deleted save, not its first "
                         "block.\n");
  EXPECT_EQ(read_file(card), before);

  run = cli({"check", folder.path("back.mcr")});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "bad-directory-checksum (frame 5): The directory frame of slot 5 is damaged (its checksum "
                     "is wrong): the slot shows as corrupted, and so does any save whose chain passes it.\n"
                     "1 fault found.\n");
  // A card the other commands refuse is still described.
  CardImage refused = blank_card();
  break_checksum(refused, 0);
  write_file(folder.path("refused.mcr"), card_bytes(refused));
  EXPECT_TRUE(starts_with(cli({"check", folder.path("refused.mcr")}).out, "bad-header-checksum (frame 0): "));
  write_file(folder.path("blank.mcr"), card_bytes(blank_card()));
  run = cli({"check", folder.path("blank.mcr"), "--json"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "{\"sound\": true, \"faults\": []}\n");
}

bool vmp_signed(const Bytes& vmp) {
  return vmp.size() == 131200 &&
         Bytes(vmp.begin() + 0x20, vmp.begin() + 0x34) == openssl_signature(vmp, 0x0C, 0x20);
}

TEST(Cli, ConvertsCopiesAndExportsBetweenFormatsKeepingSignaturesAndComments) {
  TempFolder folder;
  Bytes gme = gme_file(listed_card());
  set_gme_comment(gme, 0, "Disc 2");
  set_gme_comment(gme, 1, "\xC3\xA0 la fin");  // UTF-8, as newer programs write it
  const std::string card = folder.path("card.gme"), vmp = folder.path("SCEVMC0.VMP");
  write_file(card, gme);
  ProgramRun run = cli({"list", card, "--json"});
  EXPECT_TRUE(starts_with(run.out, "{\"used\": 4, \"format\": \"gme\", \"slots\": [\n  {\"slot\": 1, "
                                   "\"state\": \"save\", \"blocks\": 1, \"name\": \"BASLUS-00001DEMO\", "
                                   "\"info\": \"1 Block, America, SLUS-00001 : DEMO\", \"title\": \"DEMO\", "
                                   "\"comment\": \"Disc 2\"},\n")) << run.out;

  run = cli({"convert", card, vmp});
  EXPECT_EQ(run.out, "Wrote " + card + " as a VMP card image to " + vmp + " (4/15).\n");
  EXPECT_TRUE(vmp_signed(read_file(vmp)));
  // Changed in place, each file keeps its format: the VMP signed anew, the
  // GME with the comments of the saves it still holds.
  SaveSpec race;
  race.name = "BESCES-00344RACE";
  write_file(folder.path("race.psv"), signed_by_openssl(psv_file(race), 8, 0x1C));
  run = cli({"import", vmp, folder.path("race.psv")});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_TRUE(vmp_signed(read_file(vmp)));
  EXPECT_EQ(cli({"delete", card, "1"}).status, 0);
  run = cli({"list", card, "--json"});
  EXPECT_EQ(run.out.find("Disc 2"), std::string::npos);
  EXPECT_NE(run.out.find("\"comment\": \"\xC3\xA0 la fin\"}"), std::string::npos) << run.out;
  EXPECT_EQ(read_file(card).size(), 134976u);

  // A comment goes with its save from one GME to another.
  run = cli({"copy", card, "3", vmp, "--output", folder.path("copy.gme")});
  EXPECT_EQ(run.out, "Copied slot 2 of " + card + " (BISLPSP00001GAME, 2 blocks) into slot 7 of " +
                         folder.path("copy.gme") + ".\n") << run.err;
  EXPECT_NE(cli({"list", folder.path("copy.gme"), "--json"}).out.find("\"comment\": \"\xC3\xA0 la fin\"}"),
            std::string::npos);

  // A broken signature is told, and the card opens all the same.
  Bytes tampered = read_file(vmp);
  tampered[0x30] ^= 1;
  write_file(vmp, tampered);
  run = cli({"list", vmp});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(starts_with(run.err, "The signature of this VMP card is wrong")) << run.err;
  // check counts it a fault: the PSP shows such a card empty.
  run = cli({"check", vmp, "--json"});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(starts_with(run.out, "{\"sound\": false, \"faults\": [\n  {\"fault\": \"bad-signature\", "
                                   "\"frames\": [], ")) << run.out;
  // Written again it is signed anew: only the card's own fault is left.
  ASSERT_EQ(cli({"convert", vmp, folder.path("again.vmp")}).status, 0);
  EXPECT_TRUE(starts_with(cli({"check", folder.path("again.vmp")}).out, "bad-directory-checksum (frame 5)"));

  // Every save, named after itself: what a file name cannot hold replaced,
  // the save's real name reported.
  run = cli({"export", card, "--all", folder.path("saves")});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "Exported slot 2 (BISLPSP00001GAME, 2 blocks) to " + folder.path("saves/BISLPSP00001GAME.mcs") +
                         ".\nExported slot 4 (BESLES-00003Q\"\\\xC3\xA9, 1 block) to " +
                         folder.path("saves/BESLES-00003Q___.mcs") + ".\n");
  // For a PS3: its names, its signature.
  run = cli({"export", card, "--all", folder.path("PSV"), "--format", "psv"});
  const Bytes psv = read_file(folder.path("PSV/BISLPSP0000147414D45.PSV"));
  ASSERT_EQ(psv.size(), 0x84u + 2 * 8192) << run.out;
  EXPECT_EQ(Bytes(psv.begin() + 0x1C, psv.begin() + 0x30), openssl_signature(psv, 8, 0x1C));
}

TEST(Cli, ListsASingleSaveFileAndNamesARawSaveAfterItsFile) {
  TempFolder folder;
  SaveSpec suikoden = pocket_save();
  suikoden.name = "BASLUS-00958GS2-7";
  write_file(folder.path("save.psv"), signed_by_openssl(psv_file(suikoden), 8, 0x1C));
  ProgramRun run = cli({"list", folder.path("save.psv")});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "format\tpsv\nname\tBASLUS-00958GS2-7\ntitle\t\xE3\x83\x9D\xE3\x82\xB1\xE3\x83\x83\xE3\x83\x88\n"
                     "blocks\t2\nregion\tAmerica\ninfo\t2 Blocks, America, SLUS-00958 : GS2-7\nsignature\tvalid\n");
  write_file(folder.path("unsigned.psv"), psv_file(suikoden));
  run = cli({"list", folder.path("unsigned.psv"), "--json"});
  EXPECT_EQ(run.out, "{\"format\": \"psv\", \"name\": \"BASLUS-00958GS2-7\", \"name_from_file_name\": false, "
                     "\"title\": \"\xE3\x83\x9D\xE3\x82\xB1\xE3\x83\x83\xE3\x83\x88\", \"blocks\": 2, "
                     "\"region\": \"America\", \"info\": \"2 Blocks, America, SLUS-00958 : GS2-7\", "
                     "\"signature\": \"wrong\"}\n");

  // A raw save takes the name its file's name holds, the prefix and the
  // extension left out; --name still wins.
  const std::string raw = folder.path("Suikoden 2-BASLUS-00958GS2-7.srm");
  write_file(raw, raw_save_file(suikoden));
  EXPECT_NE(cli({"list", raw}).out.find("\nname\tBASLUS-00958GS2-7\t(from the file name)\n"), std::string::npos);
  const std::string card = folder.path("card.mcr");
  write_file(card, card_bytes(blank_card()));
  run = cli({"import", card, raw});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "Imported BASLUS-00958GS2-7 (2 blocks, named after its file) into slot 1 of " + card + ".\n");
  run = cli({"import", card, raw, "--name", "BASLUS-00958OTHER"});
  EXPECT_EQ(run.out, "Imported BASLUS-00958OTHER (2 blocks) into slot 3 of " + card + ".\n");
  write_file(folder.path("game.bin"), raw_save_file(SaveSpec{}));
  run = cli({"import", card, folder.path("game.bin")});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(starts_with(run.err, "quillcrest-cli: " + folder.path("game.bin") +
                                       ": This save file carries no save name: give it with --name")) << run.err;
  EXPECT_TRUE(starts_with(cli({"list", folder.path("game.bin")}).out,
                          "format\traw\nname\t(none: import asks for --name)\ntitle\tDEMO\n"));
}

// Some emulators write a wrong header checksum on a card that is otherwise sound.
TEST(Cli, ACardWithAWrongHeaderChecksumOpensOnlyWithAllowCorruptedAndStaysAsItWas) {
  TempFolder folder;
  CardImage card = listed_card();
  frame(card, 0)[127] = 0x42;
  const std::string path = folder.path("memcard1.mcd");
  write_file(path, card_bytes(card));
  ProgramRun run = cli({"list", path});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "quillcrest-cli: " + path +
                         ": Wrong Memory Card format. The card begins with \"MC\", but its header checksum is wrong "
                         "(0x42, where 0x0E belongs): --allow-corrupted opens it anyway.\n");
  // A command that has no such option says which ones have it.
  run = cli({"delete", path, "1"});
  EXPECT_NE(run.err.find("list, export, convert and copy from it open it anyway with --allow-corrupted"),
            std::string::npos) << run.err;

  run = cli({"list", path, "--allow-corrupted"});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(starts_with(run.err, "Warning: " + path + ": its header checksum is wrong")) << run.err;
  EXPECT_TRUE(starts_with(run.out, "1\tsave\t1\t1 Block, America, SLUS-00001 : DEMO")) << run.out;
  EXPECT_EQ(cli({"convert", path, folder.path("out.gme"), "--allow-corrupted"}).status, 0);
  const Bytes gme = read_file(folder.path("out.gme"));
  ASSERT_EQ(gme.size(), 134976u);
  EXPECT_EQ(Bytes(gme.begin() + 3904, gme.end()), card_bytes(card));
  EXPECT_EQ(cli({"export", path, "2", folder.path("pocket.mcs"), "--allow-corrupted"}).status, 0);
  write_file(folder.path("target.mcr"), card_bytes(blank_card()));
  EXPECT_EQ(cli({"copy", path, "2", folder.path("target.mcr"), "--allow-corrupted"}).status, 0);
  EXPECT_EQ(read_file(path), card_bytes(card));
}

TEST(Cli, AWrongCommandLineIsExitStatusTwoWithTheUsage) {
  for (const std::vector<std::string>& words :
       std::vector<std::vector<std::string>>{{},
                                             {"lst", "card.mcr"},
                                             {"list"},
                                             {"list", "card.mcr", "--adaptor"},
                                             {"export", "card.mcr", "16", "out.mcs"},
                                             {"delete", "card.mcr", "1", "2"},
                                             {"write", "card.mcr", "--everything"},
                                             {"check"},
                                             {"check", "card.mcr", "--adaptor"},
                                             {"undelete", "card.mcr", "0"},
                                             {"backups", "card.mcr"},
                                             {"icon", "card.mcr", "1", "icon.bmp"},
                                             {"icon", "card.mcr", "1", "icon.png", "--size", "48"},
                                             {"import", "card.mcr", "a.bin", "--name"},
                                             {"import", "card.mcr", "a.bin", "--name", "BASLUS-00001ABCDEFGHI"},
                                             {"read", "card.mcr", "--reader", "memcarduino"},
                                             {"list", "--adaptor", "--reader", "dexdrive:COM1@9600"},
                                             {"readers", "--json"}}) {
    const ProgramRun run = cli(words);
    EXPECT_EQ(run.status, 2) << testing::PrintToString(words);
    EXPECT_NE(run.err.find("Usage: quillcrest-cli"), std::string::npos);
    EXPECT_TRUE(run.out.empty());
  }
  const ProgramRun help = cli({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.substr(0, 21), "Usage: quillcrest-cli");
  EXPECT_EQ(cli({"--version"}).out, "quillcrest-cli 1.0.0.0\n");
}

// The card in a reader: the emulated PS3 adaptor, or an emulated serial
// reader on a pseudo-terminal, which the program reaches through its real
// serial code (named by QUILLCREST_READER). Both keep the card and their
// counts in the same state files.
class ReaderFixture : public testing::Test {
 protected:
  // The emulated card starts from `card` and keeps what the last run left.
  void plug_in(const CardImage& card) { write_file(real, card_bytes(card)); }
  bool serial() const { return kind != ReaderKind::ps3; }
  ProgramRun run(const std::vector<std::string>& arguments, const std::string& faults = "") {
    std::map<std::string, std::string> environment = {{"XDG_DATA_HOME", data_home}};
    if (!serial()) {
      environment.insert({{"QUILLCREST_EMULATED_CARD", real},
                          {"QUILLCREST_EMULATED_STATE", real},
                          {"QUILLCREST_EMULATED_FAULT", faults}});
      return cli(arguments, environment);
    }
    PtyReaderSetup setup;
    setup.kind = kind;
    setup.state_path = real;
    EXPECT_TRUE(parse_serial_faults(faults, setup.faults)) << faults;
    auto card = std::make_unique<CardImage>();
    const Bytes bytes = read_file(real);
    std::copy(bytes.begin(), bytes.end(), card->bytes.begin());
    PtyReader reader;
    std::string why;
    EXPECT_TRUE(reader.start(*card, setup, why)) << why;
    port = reader.path();
    environment["QUILLCREST_READER"] = reader_form();
    return cli(arguments, environment);
  }
  std::string counts() {
    const Bytes bytes = read_file(real + ".counts");
    return std::string(bytes.begin(), bytes.end());
  }
  // The counts' first lines: a serial reader's frame commands tell of the
  // card themselves, it has no detect command.
  std::string counts_start(int detects, int reads, int writes = -1) const {
    return "detects " + std::to_string(serial() ? 0 : detects) + "\nreads " + std::to_string(reads) + "\n" +
           (writes >= 0 ? "writes " + std::to_string(writes) + "\n" : "");
  }
  // --reader for the serial reader of the last run.
  std::string reader_form() const {
    return std::string(kind == ReaderKind::dexdrive ? "dexdrive:" : kind == ReaderKind::ps1cardlink ? "ps1cardlink:" : "memcarduino:") +
           port;
  }
  std::string reader_name() const {
    return std::string(kind == ReaderKind::dexdrive      ? "DexDrive on "
                       : kind == ReaderKind::ps1cardlink ? "PS1CardLink on "
                                                         : "MemCARDuino on ") +
           port;
  }
  ReaderKind kind = ReaderKind::ps3;
  std::string port;  // the serial reader's, in the last run
  TempFolder folder;
  const std::string real = folder.path("real.mcr");
  std::string data_home = folder.path("data");
  const std::string backups = data_home + "/quillcrest/backups/";
};

class CliAdaptor : public ReaderFixture, public testing::WithParamInterface<ReaderKind> {
 protected:
  void SetUp() override { kind = GetParam(); }
};
class CliSerialReader : public CliAdaptor {};
class CliPs3Adaptor : public ReaderFixture {};

std::string reader_test_name(const testing::TestParamInfo<ReaderKind>& info) {
  return info.param == ReaderKind::ps3           ? "Ps3Adaptor"
         : info.param == ReaderKind::memcarduino ? "MemCARDuino"
         : info.param == ReaderKind::dexdrive    ? "DexDrive"
                                                 : "PS1CardLink";
}

INSTANTIATE_TEST_SUITE_P(EachReader, CliAdaptor,
                         testing::Values(ReaderKind::ps3, ReaderKind::memcarduino, ReaderKind::dexdrive,
                                         ReaderKind::ps1cardlink),
                         reader_test_name);
INSTANTIATE_TEST_SUITE_P(EachSerialReader, CliSerialReader,
                         testing::Values(ReaderKind::memcarduino, ReaderKind::dexdrive, ReaderKind::ps1cardlink),
                         reader_test_name);

TEST_P(CliAdaptor, ReadsListsAndWritesOnlyWhatDiffersThenChecksIt) {
  plug_in(listed_card());
  ProgramRun result = run({"list", "--adaptor"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_TRUE(starts_with(result.out, "1\tsave\t1\t1 Block, America, SLUS-00001 : DEMO\tBASL"));
  EXPECT_TRUE(starts_with(counts(), counts_start(16, 76, 0))) << counts();

  result = run({"read", folder.path("backup.mcr")});
  EXPECT_EQ(result.out, "Read the card into " + folder.path("backup.mcr") + " (4/15).\n");
  EXPECT_EQ(read_file(folder.path("backup.mcr")), card_bytes(listed_card()));
  // Straight into a file a PSP takes.
  EXPECT_EQ(run({"read", folder.path("SCEVMC0.VMP")}).status, 0);
  EXPECT_TRUE(vmp_signed(read_file(folder.path("SCEVMC0.VMP"))));

  CardImage changed = listed_card();
  for (int f = 64; f < 128; ++f) frame(changed, f)[100] ^= 0x33;  // the first save's block
  write_file(folder.path("changed.mcr"), card_bytes(changed));
  result = run({"write", folder.path("changed.mcr")});
  EXPECT_EQ(result.status, 0) << result.err;
  ASSERT_TRUE(starts_with(result.out, "Backed up the card into " + backups)) << result.out;
  const std::string backup = result.out.substr(24, result.out.find(".\n") - 24);
  EXPECT_EQ(result.out.substr(result.out.find('\n') + 1), "Wrote 64 frames, verified 64.\n");
  EXPECT_TRUE(starts_with(counts(), counts_start(3, 1088, 64))) << counts();
  EXPECT_EQ(read_file(real), card_bytes(changed));
  EXPECT_EQ(read_file(backup), card_bytes(listed_card()));  // the card before the write

  // The backup is listed, and written back restores the card.
  result = run({"backups"});
  EXPECT_EQ(result.out.substr(19), "\t" + backup + "\t4/15\tBASLUS-00001DEMO, BISLPSP00001GAME, BESLES-00003Q\"\\\xC3\xA9\n");
  result = run({"write", backup});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(read_file(real), card_bytes(listed_card()));

  // No backup, no write: nothing is sent.
  data_home = folder.path("blocked");
  write_file(data_home, Bytes(1));
  result = run({"write", folder.path("changed.mcr")});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "quillcrest-cli: Cannot back up the Memory Card into " + data_home +
                            "/quillcrest/backups: the folder cannot be made. Nothing was written to the card.\n"
                            "0 frames were written before it stopped.\n");
  EXPECT_TRUE(starts_with(counts(), counts_start(1, 1024, 0))) << counts();

  // An unformatted card is backed up, and put back, byte for byte.
  plug_in(CardImage{});
  data_home = folder.path("data");
  result = run({"write", folder.path("changed.mcr")});
  const std::string blank_backup = result.out.substr(24, result.out.find(".\n") - 24);
  result = run({"write", blank_backup});
  EXPECT_EQ(result.err, blank_backup + " holds no formatted memory card (Wrong Memory Card format.): "
                                       "it is written as it is.\n");
  EXPECT_EQ(read_file(real), Bytes(kCardSize, 0));

  // The card refuses a frame: the command says which frames got there.
  result = run({"write", folder.path("changed.mcr"), "--all", "--no-backup"}, "refused@66");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "No backup: what the card holds now cannot be restored after this write.\n"
                        "quillcrest-cli: Write Error\n2 frames were written before it stopped: 64,65.\n");
  EXPECT_TRUE(starts_with(counts(), counts_start(1, 0))) << counts();
}

// The real card split onto an SD card's folder, and gathered back onto it
// as "write" writes: backed up first, only what differs, read back.
TEST_P(CliAdaptor, SplitsTheRealCardAndGathersOntoIt) {
  plug_in(listed_card());
  const std::string sd = folder.path("sd");
  ProgramRun result = run({"split", "--adaptor", "--into", sd, "--layout", "duckstation"});
  EXPECT_EQ(result.status, 1) << result.err;  // the corrupted slot 5 is no save, but the rest split
  EXPECT_NE(result.out.find(", slot 2: BISLPSP00001GAME (2 blocks) to " + sd + "/memcards/SLPS-00001_1.mcd\n"),
            std::string::npos)
      << result.out;
  EXPECT_EQ(read_file(real), card_bytes(listed_card()));

  CardImage other = blank_card();
  SaveSpec extra;
  extra.name = "BASLUS-00594EXTRA";
  extra.seed = 44;
  put_save(other, extra, {0});
  write_file(sd + "/memcards/SLUS-00594_1.mcd", card_bytes(other));
  result = run({"gather", sd, "--adaptor", "--game", "SLUS-00594"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_NE(result.out.find("BASLUS-00594EXTRA (1 block) to slot 6\n"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("Backed up the card into " + backups), std::string::npos) << result.out;
  CardImage expected = listed_card();
  put_save(expected, extra, {5});
  EXPECT_EQ(read_file(real), card_bytes(expected));
}

// The directory goes last: cut short after the saves' blocks, the card
// keeps its old directory, and says what it got.
TEST_P(CliAdaptor, AWriteCutShortBeforeTheDirectoryLeavesTheOldOne) {
  plug_in(listed_card());
  CardImage changed = listed_card();
  delete_save(changed, 0);
  for (int f = 64; f < 128; ++f) frame(changed, f)[7] ^= 0x01;
  write_file(folder.path("changed.mcr"), card_bytes(changed));
  // Out before the directory's run: the adaptor's third detect, a serial
  // reader's command after the read and the block's 64 writes.
  const ProgramRun result = run({"write", folder.path("changed.mcr")}, serial() ? "no-card@1088" : "no-card@2");
  EXPECT_EQ(result.status, 1);
  EXPECT_TRUE(starts_with(result.err, "quillcrest-cli: No PS1 Memory Card Detected.\n")) << result.err;
  EXPECT_NE(result.err.find("\n64 frames were written before it stopped: 64,65,66,"), std::string::npos);
  const Bytes on_card = read_file(real);
  EXPECT_TRUE(std::equal(on_card.begin(), on_card.begin() + 8192, listed_card().bytes.begin()));
  EXPECT_TRUE(std::equal(on_card.begin() + 8192, on_card.begin() + 16384, changed.bytes.begin() + 8192));
}

// Cards and adaptors that do not do what they say.
TEST_P(CliAdaptor, CardsThatLieAreCaughtAndTheAdaptorsAnswerIsTold) {
  plug_in(listed_card());
  CardImage changed = listed_card();
  frame(changed, 200)[0] ^= 0x80;
  write_file(folder.path("changed.mcr"), card_bytes(changed));
  ProgramRun result = run({"write", folder.path("changed.mcr")}, "flipped-bit@200");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "quillcrest-cli: Verify Error: frame 200 differs on the card.\n");

  // A fake 64 KB card: every command that reads it whole, or its directory, warns.
  const std::string warning = "Warning: The card's second 64 KB answer the same bytes as its first: it holds 64 KB";
  plug_in(listed_card());
  EXPECT_TRUE(starts_with(run({"list", "--adaptor"}, "half-size").err, warning));
  EXPECT_TRUE(starts_with(run({"read", folder.path("fake.mcr")}, "half-size").err, warning));
  result = run({"check", "--adaptor"}, "half-size");
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.out.find("\nhalves-mirror (frames 512..1023): The card's second 64 KB"), std::string::npos)
      << result.out;
  result = run({"write", folder.path("changed.mcr")}, "half-size");
  EXPECT_TRUE(starts_with(result.err, warning)) << result.err;
  EXPECT_NE(result.err.find("Verify Error: frames "), std::string::npos) << result.err;

  EXPECT_EQ(run({"check", "--adaptor"}, "bad-checksum@700").err, "quillcrest-cli: Read Error.\n");
}

TEST_F(CliPs3Adaptor, SaysWhenTheAdaptorReportsAPs2Card) {
  plug_in(listed_card());
  const ProgramRun result = run({"read", folder.path("ps2.mcr")}, "ps2-card");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "quillcrest-cli: The adaptor reports a PS2 memory card in its slot, or a PS1 card it "
                        "does not recognise (some third-party cards and adaptors answer so).\n");
}

TEST_F(CliPs3Adaptor, NamesTheUdevRuleWhenTheAdaptorMayNotBeOpened) {
  plug_in(listed_card());
  const ProgramRun result = run({"read", folder.path("backup.mcr")}, "no-access");
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("70-ps3-memory-card-adaptor.rules"), std::string::npos) << result.err;
  EXPECT_EQ(result.err.find("not found"), std::string::npos);
  EXPECT_TRUE(read_file(folder.path("backup.mcr")).empty());
}

// Where nothing answers, or the port may not be opened, the message names
// the reader and its port (and on Linux the dialout group); --probe tells
// which reader answers where.
TEST_P(CliSerialReader, NamesThePortNothingAnswersOnAndTheGroupThatMayOpenIt) {
  plug_in(listed_card());
  ProgramRun result = run({"read", folder.path("out.mcr")}, "silent");
  EXPECT_EQ(result.status, 1);
  const std::string nothing = "quillcrest-cli: No " + reader_name().substr(0, reader_name().find(" on ")) +
                              " answers on " + port + (kind == ReaderKind::dexdrive ? "." : " (");
  EXPECT_TRUE(starts_with(result.err, nothing)) << result.err;
  EXPECT_TRUE(read_file(folder.path("out.mcr")).empty());

  PtyReaderSetup setup;
  setup.kind = kind;
  PtyReader reader;
  std::string why;
  ASSERT_TRUE(reader.start(listed_card(), setup, why)) << why;
  port = reader.path();
  result = cli({"readers", "--probe", port});
  EXPECT_EQ(result.out, port + "\t-\t-\t" + reader_form() +
                            (kind == ReaderKind::dexdrive      ? " (PS1 model, firmware 1.12)\n"
                             : kind == ReaderKind::ps1cardlink ? " (version 1.1, slot 1)\n"
                                                               : " (firmware 4, 115200 bit/s)\n"));
  // The pseudo-terminal is its owner's alone: root's when the tests run as
  // root, who then tries as another user.
  chmod(port.c_str(), geteuid() == 0 ? 0600 : 0);
  result = run_program(QUILLCREST_CLI, {"read", folder.path("out.mcr"), "--reader", reader_form()}, {},
                       geteuid() == 0 ? 65534 : -1);
  EXPECT_EQ(result.status, 1);
  EXPECT_TRUE(starts_with(result.err, "quillcrest-cli: " + reader_name() + ": permission denied.")) << result.err;
  EXPECT_NE(result.err.find("dialout"), std::string::npos);
}

}  // namespace
