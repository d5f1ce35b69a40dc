// Renaming a save: the directory frames that carry the name change, each
// checksum made anew, nothing else; a name the card cannot take changes
// nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "card/card_check.h"
#include "card/rename.h"
#include "tests/support/card_maker.h"

namespace {

struct Analysed {
  CardImage card;
  SlotTable slots;
};

std::unique_ptr<Analysed> analysed(const CardImage& card) {
  auto out = std::make_unique<Analysed>();
  out->card = card;
  CardImage copy = card;
  EXPECT_FALSE(analyse_card(copy, out->slots, false));
  return out;
}

std::string name_field(const CardImage& card, int slot) {
  const uint8_t* directory = directory_frame(card, slot);
  return std::string(reinterpret_cast<const char*>(directory + kDirName), kSaveNameMax);
}

TEST(RenameSave, WritesTheFramesThatCarryTheNameAndKeepsTheCardSound) {
  CardImage card = blank_card();
  SaveSpec imported;  // the card maker, as this program's imports, names every frame
  imported.name = "BESLES-01234GAME01";
  imported.blocks = 3;
  put_save(card, imported, {0, 4, 2});
  SaveSpec console;  // a console leaves its further frames' names zero
  console.name = "BASLUS-00001DEMO";
  console.blocks = 2;
  console.seed = 5;
  put_save(card, console, {6, 7});
  std::fill_n(directory_frame(card, 7) + kDirName, kSaveNameMax, 0);
  fix_checksum(card, 8);
  auto a = analysed(card);

  CardImage renamed = card;
  ASSERT_FALSE(rename_save(renamed, a->slots, 0, "BASLUS-01234GAME01"));
  const std::string expected = std::string("BASLUS-01234GAME01") + std::string(2, '\0');
  for (int slot : {0, 4, 2}) EXPECT_EQ(name_field(renamed, slot), expected) << slot;
  ASSERT_FALSE(rename_save(renamed, a->slots, 6, "BESLES-00001DEMO"));
  EXPECT_EQ(name_field(renamed, 6).substr(0, 16), "BESLES-00001DEMO");
  EXPECT_EQ(name_field(renamed, 7), std::string(kSaveNameMax, '\0'));  // zero stays zero
  EXPECT_TRUE(check_card(renamed).empty());
  // Only the name bytes and the checksums of those frames differ.
  for (size_t at = 0; at < kCardSize; ++at) {
    const int f = int(at / kFrameSize), in_frame = int(at % kFrameSize);
    const bool named = (f == 1 || f == 5 || f == 3 || f == 7) &&
                       ((in_frame >= int(kDirName) && in_frame < int(kDirName + kSaveNameMax)) || in_frame == 127);
    if (!named) {
      ASSERT_EQ(renamed.bytes[at], card.bytes[at]) << "byte " << at;
    }
  }
}

TEST(RenameSave, ANameTheCardCannotTakeChangesNothing) {
  CardImage card = blank_card();
  SaveSpec one;
  one.name = "BESLES-01234GAME01";
  put_save(card, one, {0});
  SaveSpec two;
  two.name = "BASLUS-00001DEMO";
  put_save(card, two, {1});
  auto a = analysed(card);
  const struct {
    std::string name;
    const char* says;
  } refused[] = {
      {"BASLUS-00001DEMO", "The save in slot 2 is named BASLUS-00001DEMO already"},
      {"BESLES-01234GAME01XYZ", "21 characters long: the directory holds at most 20."},
      {"BESLES-01234\xC3\xA9T\xC3\xA9", "printable ASCII"},
      {"BESLES-01234\tX", "printable ASCII"},
      {"", "needs a name"},
  };
  for (const auto& r : refused) {
    CardImage attempt = card;
    const Failure failure = rename_save(attempt, a->slots, 0, r.name);
    ASSERT_TRUE(failure) << r.name;
    EXPECT_NE(failure->text.find(r.says), std::string::npos) << failure->text;
    EXPECT_EQ(attempt.bytes, card.bytes);
  }
  EXPECT_TRUE(rename_save(card, a->slots, 5, "BASLUS-00002X"));  // no save there
  EXPECT_EQ(*name_in_region("BESLES-01234GAME01", Region::japan), "BISLES-01234GAME01");
  EXPECT_EQ(*name_in_region("BISLPS-00001", Region::america), "BASLPS-00001");
  EXPECT_FALSE(name_in_region("tonyhax", Region::europe));
}

}  // namespace
