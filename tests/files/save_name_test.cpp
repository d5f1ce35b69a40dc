#include <gtest/gtest.h>

#include "card/save_name.h"
#include "files/save_formats.h"

namespace {

TEST(ComposeName, FollowsTheNamingConventionAndFitsTwentyCharacters) {
  EXPECT_EQ(compose_name(Region::america, Licensing::sony_licensed, SaveType::game, 1234, "SAVE", false),
            "BASLUS-01234SAVE");
  EXPECT_EQ(compose_name(Region::japan, Licensing::sony_computer, SaveType::game, 0, "", false),
            "BISCPS-00000");
  EXPECT_EQ(compose_name(Region::europe, Licensing::sony_computer, SaveType::other, 99999, "ABCDEFGH", true),
            "BESCEMP99999ABCDEFGH");
  EXPECT_EQ(compose_name(Region::japan, Licensing::sony_licensed, SaveType::demo, 7, "X", true),
            "BISLPDP00007X");
  // Longer parts and numbers than the fields allow are cut, never overflow.
  EXPECT_EQ(compose_name(Region::america, Licensing::sony_licensed, SaveType::game, 4294967295u,
                         "ABCDEFGHIJ", false),
            "BASLUS-4294967295ABC");
}

}  // namespace

namespace {

TEST(SaveNameInFileName, TakesTheNameFromItsCodeToTheEndOfTheStem) {
  EXPECT_EQ(save_name_in_file_name("saves/BISCPS-1004700000000"), "BISCPS-1004700000000");
  EXPECT_EQ(save_name_in_file_name("C:\\saves\\Suikoden 2-BASLUS-00958GS2-7.srm"), "BASLUS-00958GS2-7");
  EXPECT_EQ(save_name_in_file_name("gran-turismo.26537-BASCUS-94194GT.srm"), "BASCUS-94194GT");
  EXPECT_EQ(save_name_in_file_name("BESLESP02083052002.bin"), "BESLESP02083052002");  // PocketStation
  // A name that would run past 20 characters is cut nowhere: the longest
  // one that fits, or none.
  EXPECT_EQ(save_name_in_file_name("BASLUS-00001BASLUS-00958GS2"), "BASLUS-00958GS2");
  EXPECT_EQ(save_name_in_file_name("BASLUS-00958GAMEDATA1.bin"), "");
  // No region letter, no product code, a character a name cannot hold, the
  // code only in the extension or in a folder's name.
  for (const char* none : {"BPLAYSTATION.bin", "BJSLUS-00958X", "BASLUS-0095X", "basLUS-00958",
                           "BASLUS-00958\tX", "save.BASLUS-00958", "BASLUS-00958/game.bin", ""})
    EXPECT_EQ(save_name_in_file_name(none), "") << none;
}

TEST(NameParts, AreWhatComposesTheNameOrNothing) {
  const std::optional<NameParts> parts = name_parts("BISCPS-1004700000000");
  ASSERT_TRUE(parts);
  EXPECT_EQ(compose_name(parts->region, parts->licensing, parts->type, parts->number, parts->file_part,
                         parts->pocketstation),
            "BISCPS-1004700000000");
  EXPECT_EQ(parts->number, 10047u);
  EXPECT_TRUE(name_parts("BESCEMP99999ABCDEFGH")->pocketstation);
  // Names the dialog's lists cannot give.
  for (const char* cannot : {"BISCAJ-20001GAME", "BASLPS-00001", "BASLUX-00001", "BASLUS-00001ABCDEFGHI",
                             "BASLUS-0001", "BASLUS=00001"})
    EXPECT_FALSE(name_parts(cannot)) << cannot;
}

}  // namespace
