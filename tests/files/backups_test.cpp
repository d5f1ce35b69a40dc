// Backups land in a temporary data folder: never in the user's own.
#include "files/backups.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/files/temp_folder.h"
#include "tests/support/card_maker.h"

namespace {

TEST(Backups, TheNewest100AreKeptEachUnderItsOwnNameAndOtherFilesLeftAlone) {
  TempFolder folder;
  setenv("XDG_DATA_HOME", folder.path("data").c_str(), 1);
  const std::string backups = folder.path("data/quillcrest/backups");
  ASSERT_EQ(std::system(("mkdir -p '" + backups + "'").c_str()), 0);
  write_file(backups + "/2001-01-01_00-00-00.mcr", Bytes(1));
  for (int n = 2; n <= 98; ++n)
    write_file(backups + "/2001-01-01_00-00-00_" + (n < 10 ? "0" : "") + std::to_string(n) + ".mcr",
               Bytes(1));
  write_file(backups + "/2001-01-01_00-00-01.mcr", Bytes(1));  // the 99th
  write_file(backups + "/2001-01-01_00-00-00_1.mcr", Bytes(1));  // not a name it makes
  CardImage card = blank_card();
  add_save(card, SaveSpec{});
  std::string first, second;
  ASSERT_FALSE(write_backup(blank_card(), first));
  ASSERT_FALSE(write_backup(card, second));  // most likely within the same second
  EXPECT_EQ(read_file(first), card_bytes(blank_card()));
  EXPECT_EQ(read_file(second), card_bytes(card));
  const std::vector<Backup> listed = list_backups(backups);
  ASSERT_EQ(listed.size(), 100u);
  EXPECT_EQ(listed[0].path, second);
  EXPECT_EQ(listed[1].path, first);
  EXPECT_EQ(listed[2].taken, "2001-01-01 00:00:01");
  EXPECT_EQ(listed.back().path, backups + "/2001-01-01_00-00-00_02.mcr");  // the oldest went
  EXPECT_EQ(read_file(backups + "/2001-01-01_00-00-00_1.mcr").size(), 1u);

  // Without XDG_DATA_HOME, or with a relative one, the data lives under HOME.
  setenv("XDG_DATA_HOME", "relative/data", 1);
  setenv("HOME", folder.path("home").c_str(), 1);
  ASSERT_FALSE(write_backup(blank_card(), first));
  EXPECT_EQ(list_backups(folder.path("home/.local/share/quillcrest/backups")).size(), 1u);
}

}  // namespace
