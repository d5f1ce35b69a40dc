// Per-game cards: the paths each device reads, a split that extends and
// never replaces, and the gather that gives every save back.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <map>
#include <memory>

#include "card/save_name.h"
#include "files/backups.h"
#include "files/card_file.h"
#include "files/card_library.h"
#include "files/game_card_gather.h"
#include "files/game_card_split.h"
#include "files/save_file.h"
#include "tests/files/temp_folder.h"
#include "tests/support/card_maker.h"

namespace {

SaveSpec game_save(const std::string& name, int blocks = 1, uint8_t seed = 1) {
  SaveSpec save;
  save.name = name;
  save.blocks = blocks;
  save.seed = seed;
  return save;
}

struct Analysed {
  std::unique_ptr<CardImage> card = std::make_unique<CardImage>();
  std::unique_ptr<SlotTable> slots = std::make_unique<SlotTable>();
};

Analysed analysed(const CardImage& card) {
  Analysed out;
  *out.card = card;
  CardImage copy = card;
  EXPECT_FALSE(analyse_card(copy, *out.slots, false));
  return out;
}

// The saves of a card file by name: their blocks as a take gives them.
std::map<std::string, Bytes> saves_in(const std::string& path) {
  std::map<std::string, Bytes> saves;
  CardImage card;
  bool opened = false;
  if (read_card_file(path, card, opened)) return saves;
  const Analysed a = analysed(card);
  for (int slot = 0; slot < kSlotCount; ++slot) {
    if (a.slots->status[slot] <= 0) continue;
    SaveImport save;
    EXPECT_FALSE(take_save(card, slot, save));
    saves[DirectoryFrame{directory_frame(card, slot)}.name()] = save.data;
  }
  return saves;
}

std::map<std::string, Bytes> saves_in(const CardImage& card) {
  TempFolder folder;
  write_file(folder.path("card.mcr"), card_bytes(card));
  return saves_in(folder.path("card.mcr"));
}

SplitPlan split(const std::vector<const CardImage*>& cards, CardLayout layout, const std::string& folder,
                bool write = true) {
  std::vector<Analysed> sources;
  std::vector<SplitSource> split_sources;
  for (const CardImage* card : cards) sources.push_back(analysed(*card));
  for (size_t i = 0; i < sources.size(); ++i)
    split_sources.push_back(SplitSource{"card " + std::to_string(i + 1), sources[i].card.get(), sources[i].slots.get()});
  SplitPlan plan;
  EXPECT_FALSE(plan_split(split_sources, layout, folder, plan));
  SplitWritten written;
  if (write) {
    EXPECT_FALSE(carry_out_split(plan, written));
  }
  return plan;
}

class GameCards : public ::testing::Test {
 protected:
  void SetUp() override { setenv("XDG_DATA_HOME", folder.path("data").c_str(), 1); }
  TempFolder folder;
};

TEST(GameId, IsTheProductCodeOfTheSaveName) {
  EXPECT_EQ(game_id_in_save_name("BASLUS-00594GAME"), "SLUS-00594");
  EXPECT_EQ(game_id_in_save_name("BESLESP02083052002"), "SLES-02083");  // PocketStation
  EXPECT_EQ(game_id_in_save_name("BASLUS00594GAME"), "SLUS-00594");     // no hyphen
  EXPECT_EQ(game_id_in_save_name("BISCPS-1004700000000"), "SCPS-10047");
  for (const char* none : {"BASLUS-0059", "BASLU5-00594", "BASLUS-0059X", "BESLEM=99999", "tonyhax", ""})
    EXPECT_EQ(game_id_in_save_name(none), "") << none;
  EXPECT_EQ(normalised_game_id("slus_005.94"), "SLUS-00594");  // as SYSTEM.CNF spells it
  EXPECT_EQ(normalised_game_id("SLUS00594"), "SLUS-00594");
  EXPECT_EQ(normalised_game_id("MemoryCard2"), "");
}

TEST(CardPlace, IsReadFromEachDevicesPaths) {
  const CardPlace pro = card_place("sd/MemoryCards/SLUS-00594/SLUS-00594-3.mcd");
  EXPECT_EQ(pro.layout, CardLayout::memcardpro);
  EXPECT_EQ(pro.card_name, "SLUS-00594");
  EXPECT_EQ(pro.game_id, "SLUS-00594");
  EXPECT_EQ(pro.channel, 3);
  const CardPlace sd2psx = card_place("E:\\MemoryCards\\PS1\\Card1\\Card1-1.mcd");
  EXPECT_EQ(sd2psx.layout, CardLayout::sd2psx);
  EXPECT_EQ(sd2psx.card_name, "Card1");
  EXPECT_EQ(sd2psx.game_id, "");
  // Out of its folders, a card is known by the names the devices give it.
  EXPECT_EQ(card_place("memcardpro/MemoryCard2-1.mcd").layout, CardLayout::memcardpro);
  EXPECT_EQ(card_place("memcardpro/MemoryCard2-1.mcd").channel, 1);
  const CardPlace duck = card_place("duckstation-user/Vagrant Story (USA)_1.mcd");
  EXPECT_EQ(duck.layout, CardLayout::duckstation);
  EXPECT_EQ(duck.card_name, "Vagrant Story (USA)");
  EXPECT_EQ(card_place("memcards/SCUS-94163_2.mcd").game_id, "SCUS-94163");
  for (const char* none : {"epsxe000.mcr", "card-2.mcd", "MemoryCards/A/B-1.mcd", "SLUS-00594-9.mcd",
                           "game_3.mcd", "Castlevania (USA).0.mcr"})
    EXPECT_EQ(card_place(none).layout, CardLayout::none) << none;
}

TEST_F(GameCards, EachSaveGoesToItsGamesCardInEachLayout) {
  CardImage card = blank_card();
  put_save(card, game_save("BASLUS-00594GAME", 2, 3), {0, 1});
  put_save(card, game_save("BESLESP02083052002", 1, 5), {2});
  put_save(card, game_save("tonyhax", 1, 7), {3});
  const std::map<std::string, std::vector<std::string>> expected = {
      {"memcardpro", {"MemoryCards/SLUS-00594/SLUS-00594-1.mcd", "MemoryCards/SLES-02083/SLES-02083-1.mcd",
                      "MemoryCards/Other/Other-1.mcd"}},
      {"sd2psx", {"MemoryCards/PS1/SLUS-00594/SLUS-00594-1.mcd", "MemoryCards/PS1/SLES-02083/SLES-02083-1.mcd",
                  "MemoryCards/PS1/Other/Other-1.mcd"}},
      {"duckstation", {"memcards/SLUS-00594_1.mcd", "memcards/SLES-02083_1.mcd", "memcards/Other_1.mcd"}}};
  const std::map<std::string, Bytes> on_card = saves_in(card);
  for (const auto& [name, paths] : expected) {
    const std::string root = folder.path(name);
    const SplitPlan plan = split({&card}, *card_layout_named(name), root);
    ASSERT_EQ(plan.entries.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
      EXPECT_EQ(plan.entries[i].outcome, SplitOutcome::added);
      EXPECT_EQ(plan.entries[i].path, root + "/" + paths[i]);
      const std::map<std::string, Bytes> split_saves = saves_in(root + "/" + paths[i]);
      ASSERT_EQ(split_saves.size(), 1u) << paths[i];
      EXPECT_EQ(split_saves.begin()->second, on_card.at(split_saves.begin()->first)) << paths[i];
    }
    // The card folder itself names the same cards.
    const SplitPlan again = split({&card}, *card_layout_named(name), root + "/" + paths[0].substr(0, paths[0].find("/S")), false);
    EXPECT_EQ(again.entries[0].outcome, SplitOutcome::already_there) << name;
  }
}

TEST_F(GameCards, AnExistingCardIsExtendedAndANameItHoldsGoesToTheNextChannel) {
  const std::string root = folder.path("sd");
  const std::string channel1 = root + "/MemoryCards/SLUS-00594/SLUS-00594-1.mcd";
  const std::string channel2 = root + "/MemoryCards/SLUS-00594/SLUS-00594-2.mcd";
  CardImage existing = blank_card();
  put_save(existing, game_save("BASLUS-00594OLD", 1, 9), {0});
  put_save(existing, game_save("BASLUS-00594GAME", 1, 10), {1});
  ASSERT_EQ(std::system(("mkdir -p " + root + "/MemoryCards/SLUS-00594").c_str()), 0);
  write_file(channel1, card_bytes(existing));

  CardImage card = blank_card();
  put_save(card, game_save("BASLUS-00594GAME", 1, 11), {0});  // the same name, other contents
  put_save(card, game_save("BASLUS-00594NEW", 2, 12), {1, 2});
  const SplitPlan plan = split({&card}, CardLayout::memcardpro, root);
  EXPECT_EQ(plan.entries[0].path, channel2);
  EXPECT_EQ(plan.entries[0].why, "channel 1 holds another save of this name");
  EXPECT_EQ(plan.entries[1].path, channel1);
  const std::map<std::string, Bytes> first = saves_in(channel1);
  EXPECT_EQ(first.size(), 3u);  // OLD and GAME kept, NEW added
  EXPECT_EQ(first.at("BASLUS-00594OLD"), saves_in(existing).at("BASLUS-00594OLD"));
  EXPECT_EQ(first.at("BASLUS-00594GAME"), saves_in(existing).at("BASLUS-00594GAME"));
  EXPECT_EQ(saves_in(channel2).at("BASLUS-00594GAME"), saves_in(card).at("BASLUS-00594GAME"));
  // The old card was kept with the backups before it was replaced.
  const std::vector<Backup> backups = list_backups(folder.path("data/quillcrest/backups"));
  ASSERT_EQ(backups.size(), 1u);
  EXPECT_EQ(read_file(backups[0].path), card_bytes(existing));

  // Run again: nothing twice.
  const SplitPlan again = split({&card}, CardLayout::memcardpro, root);
  for (const SplitEntry& entry : again.entries) EXPECT_EQ(entry.outcome, SplitOutcome::already_there);
  EXPECT_EQ(saves_in(channel1).size(), 3u);
  EXPECT_EQ(saves_in(channel2).size(), 1u);
}

TEST_F(GameCards, AFullCardRollsOverAndWhatFitsNowhereIsSaid) {
  // Nine cards' worth of one DuckStation game: its two channels take 15 each.
  std::vector<CardImage> cards(3, blank_card());
  for (int c = 0; c < 3; ++c)
    for (int s = 0; s < 5; ++s)
      put_save(cards[c], game_save("BASLUS-00594S" + std::to_string(c) + std::to_string(s), 3, uint8_t(c * 5 + s)),
               {s * 3, s * 3 + 1, s * 3 + 2});
  const SplitPlan plan = split({&cards[0], &cards[1], &cards[2]}, CardLayout::duckstation, folder.path("duck"));
  EXPECT_EQ(split_count(plan, SplitOutcome::added), 10);
  EXPECT_EQ(plan.entries[5].channel, 2);
  EXPECT_EQ(plan.entries[5].why, "channel 1 is full");
  EXPECT_EQ(plan.entries[10].outcome, SplitOutcome::did_not_fit);
  EXPECT_EQ(plan.entries[10].why, "channel 1 is full; channel 2 is full");
  EXPECT_EQ(saves_in(folder.path("duck/memcards/SLUS-00594_2.mcd")).size(), 5u);
}

TEST_F(GameCards, Game2FolderSendsAGameToItsSharedFolder) {
  const std::string root = folder.path("sd");
  ASSERT_EQ(std::system(("mkdir -p " + root + "/.sd2psx").c_str()), 0);
  const std::string ini = "[PS1]\nSLUS-00594=Shared\nslus00595 = Shared\n\n";
  write_file(root + "/.sd2psx/Game2Folder.ini", Bytes(ini.begin(), ini.end()));
  CardImage card = blank_card();
  put_save(card, game_save("BASLUS-00594A"), {0});
  put_save(card, game_save("BASLUS-00595B", 1, 2), {1});
  const SplitPlan plan = split({&card}, CardLayout::sd2psx, root);
  const std::string shared = root + "/MemoryCards/PS1/Shared/Shared-1.mcd";
  EXPECT_EQ(plan.entries[0].path, shared);
  EXPECT_EQ(plan.entries[1].path, shared);
  EXPECT_EQ(saves_in(shared).size(), 2u);
  // The library knows both games use the card.
  std::vector<LibraryCard> cards;
  ASSERT_FALSE(scan_library(root, false, cards));
  ASSERT_EQ(cards.size(), 1u);
  EXPECT_EQ(cards[0].game_ids, (std::vector<std::string>{"SLUS-00594", "SLUS-00595"}));
  EXPECT_TRUE(cards[0].notes.empty());
  // A card folder of a name that is no game's, and no numbered card's, is told.
  ASSERT_EQ(std::system(("mkdir -p " + root + "/MemoryCards/PS1/Mine").c_str()), 0);
  write_file(root + "/MemoryCards/PS1/Mine/Mine-1.mcd", card_bytes(blank_card()));
  ASSERT_FALSE(scan_library(root, false, cards));
  ASSERT_EQ(cards.size(), 2u);
  EXPECT_EQ(cards[0].notes, (std::vector<std::string>{"the card's name, Mine, is no game ID: the device loads it "
                                                      "only when it is chosen by name"}));
}

TEST_F(GameCards, ACardThatCannotTakeSavesIsLeftAsItIs) {
  const std::string root = folder.path("sd");
  const std::string broken = root + "/MemoryCards/SLUS-00594/SLUS-00594-1.mcd";
  ASSERT_EQ(std::system(("mkdir -p " + root + "/MemoryCards/SLUS-00594 " + root +
                         "/MemoryCards/SCUS-94163").c_str()), 0);
  const Bytes not_a_card(4000, 0x42);
  write_file(broken, not_a_card);
  // On the SD card's FAT these two are one file: which one the device reads is anyone's guess.
  write_file(root + "/MemoryCards/SCUS-94163/scus-94163-1.mcd", card_bytes(blank_card()));
  CardImage card = blank_card();
  put_save(card, game_save("BASLUS-00594GAME"), {0});
  put_save(card, game_save("BASCUS-94163FF7", 1, 2), {1});
  put_save(card, game_save("BESLES-00001OK", 1, 3), {2});
  const SplitPlan plan = split({&card}, CardLayout::memcardpro, root);
  EXPECT_EQ(plan.entries[0].outcome, SplitOutcome::refused);
  EXPECT_NE(plan.entries[0].why.find("Wrong file size !"), std::string::npos) << plan.entries[0].why;
  EXPECT_EQ(plan.entries[1].outcome, SplitOutcome::refused);
  EXPECT_NE(plan.entries[1].why.find("scus-94163-1.mcd"), std::string::npos) << plan.entries[1].why;
  EXPECT_EQ(plan.entries[2].outcome, SplitOutcome::added);
  EXPECT_EQ(read_file(broken), not_a_card);
}

TEST_F(GameCards, GatherGivesBackEverySaveOnceAndTellsWhatItLeft) {
  CardImage card = blank_card();
  put_save(card, game_save("BASLUS-00594GAME", 2, 3), {0, 1});
  put_save(card, game_save("BESCES-00984GT", 5, 4), {2, 3, 4, 5, 6});
  put_save(card, game_save("tonyhax", 1, 7), {7});
  const std::string root = folder.path("sd");
  split({&card}, CardLayout::sd2psx, root);
  // A second version of GAME on channel 2.
  CardImage other = blank_card();
  put_save(other, game_save("BASLUS-00594GAME", 2, 99), {0, 1});
  write_file(root + "/MemoryCards/PS1/SLUS-00594/SLUS-00594-2.mcd", card_bytes(other));
  write_file(root + "/MemoryCards/PS1/SLUS-00594/notes.mcr", Bytes(10, 1));  // a card's name, no card

  CardImage back = blank_card();
  GatherReport report;
  ASSERT_FALSE(gather_game_cards({root}, GatherOptions{}, back, report));
  EXPECT_EQ(saves_in(back), saves_in(card));  // every save, byte for byte, the channel 1 GAME
  EXPECT_EQ(gather_count(report, GatherOutcome::added), 3);
  EXPECT_EQ(gather_count(report, GatherOutcome::other_version), 1);
  ASSERT_EQ(report.no_cards.size(), 1u);
  EXPECT_EQ(report.no_cards[0].failure, "Wrong file size !");

  // Channel 2 chosen, one game: its version, and a card already holding it skips it.
  CardImage chosen = blank_card();
  GatherOptions options;
  options.channel = 2;
  options.games = {"SLUS-00594"};
  ASSERT_FALSE(gather_game_cards({root}, options, chosen, report));
  EXPECT_EQ(saves_in(chosen), saves_in(other));
  ASSERT_FALSE(gather_game_cards({root}, options, chosen, report));
  EXPECT_EQ(gather_count(report, GatherOutcome::already_there), 1);
  EXPECT_EQ(gather_count(report, GatherOutcome::added), 0);
  // With the channel 1 version on the card, channel 2's cannot join it.
  options.channel = 1;
  ASSERT_FALSE(gather_game_cards({root}, options, chosen, report));
  EXPECT_EQ(gather_count(report, GatherOutcome::name_taken), 1);

  // Versions on channels 2 and 3 only: channel 1's choice takes neither.
  CardImage third = blank_card();
  put_save(third, game_save("BASLUS-00594GAME", 2, 77), {0, 1});
  write_file(root + "/MemoryCards/PS1/SLUS-00594/SLUS-00594-1.mcd", card_bytes(blank_card()));
  write_file(root + "/MemoryCards/PS1/SLUS-00594/SLUS-00594-3.mcd", card_bytes(third));
  CardImage none = blank_card();
  ASSERT_FALSE(gather_game_cards({root}, options, none, report));
  EXPECT_EQ(gather_count(report, GatherOutcome::undecided), 2);
  EXPECT_EQ(saves_in(none).count("BASLUS-00594GAME"), 0u);
}

TEST_F(GameCards, GatherListsWhatDoesNotFit) {
  std::vector<CardImage> cards(2, blank_card());
  for (int c = 0; c < 2; ++c)
    put_save(cards[c], game_save("BASLUS-0059" + std::to_string(c) + "BIG", 10, uint8_t(c)),
             {0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
  const std::string root = folder.path("pro");
  split({&cards[0], &cards[1]}, CardLayout::memcardpro, root);
  CardImage back = blank_card();
  GatherReport report;
  ASSERT_FALSE(gather_game_cards({root}, GatherOptions{}, back, report));
  ASSERT_EQ(report.entries.size(), 2u);
  EXPECT_EQ(report.entries[1].outcome, GatherOutcome::did_not_fit);
  EXPECT_EQ(report.entries[1].why, "it needs 10 blocks, the card has 5 free");
}

}  // namespace
