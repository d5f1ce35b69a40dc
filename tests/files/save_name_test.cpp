#include <gtest/gtest.h>

#include "card/save_name.h"

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
