// Backups land in a temporary data folder: never in the user's own.
#include "files/backups.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/files/temp_folder.h"
#include "tests/support/card_maker.h"

namespace {

class Backups : public testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"XDG_DATA_HOME", "HOME"})
      if (const char* value = std::getenv(name)) saved_[name] = value;
    setenv("XDG_DATA_HOME", folder.path("data").c_str(), 1);
  }
  void TearDown() override {
    for (const char* name : {"XDG_DATA_HOME", "HOME"}) {
      if (saved_.count(name))
        setenv(name, saved_[name].c_str(), 1);
      else
        unsetenv(name);
    }
  }
  TempFolder folder;
  const std::string backups = folder.path("data/quillcrest/backups");

 private:
  std::map<std::string, std::string> saved_;
};

TEST_F(Backups, EachBackupIsANewWholeFileNewestListedFirst) {
  CardImage card = blank_card();
  add_save(card, SaveSpec{});
  std::string first, second;
  ASSERT_FALSE(write_backup(blank_card(), first));
  ASSERT_FALSE(write_backup(card, second));  // most likely within the same second
  EXPECT_NE(first, second);
  EXPECT_EQ(first.substr(0, backups.size() + 1), backups + "/");
  EXPECT_EQ(read_file(first), card_bytes(blank_card()));
  EXPECT_EQ(read_file(second), card_bytes(card));
  const std::vector<Backup> listed = list_backups(backups);
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[0].path, second);
  EXPECT_EQ(listed[1].path, first);
  EXPECT_EQ(listed[0].taken.size(), 19u);
  EXPECT_EQ(listed[0].taken[10], ' ');
}

TEST_F(Backups, TheNewest100AreKeptAndOtherFilesLeftAlone) {
  ASSERT_EQ(std::system(("mkdir -p '" + backups + "'").c_str()), 0);
  write_file(backups + "/2001-01-01_00-00-00.mcr", Bytes(1));
  for (int n = 2; n <= 99; ++n)
    write_file(backups + "/2001-01-01_00-00-00_" + (n < 10 ? "0" : "") + std::to_string(n) + ".mcr",
               Bytes(1));
  write_file(backups + "/2001-01-01_00-00-01.mcr", Bytes(1));  // the 100th
  write_file(backups + "/my card.mcr", Bytes(1));
  write_file(backups + "/2001-01-01_00-00-00_1.mcr", Bytes(1));  // not a name it makes
  std::string path;
  ASSERT_FALSE(write_backup(blank_card(), path));
  const std::vector<Backup> listed = list_backups(backups);
  ASSERT_EQ(listed.size(), 100u);
  EXPECT_EQ(listed.front().path, path);
  EXPECT_EQ(listed.back().path, backups + "/2001-01-01_00-00-00_02.mcr");
  EXPECT_EQ(listed[1].taken, "2001-01-01 00:00:01");
  EXPECT_EQ(read_file(backups + "/my card.mcr").size(), 1u);
  EXPECT_EQ(read_file(backups + "/2001-01-01_00-00-00_1.mcr").size(), 1u);
}

TEST_F(Backups, AFolderThatCannotBeMadeStopsTheBackupWithAClearMessage) {
  write_file(folder.path("plain-file"), Bytes(1));
  setenv("XDG_DATA_HOME", folder.path("plain-file").c_str(), 1);
  std::string path;
  const Failure failure = write_backup(blank_card(), path);
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->text,
            "Cannot back up the Memory Card into " + folder.path("plain-file") +
                "/quillcrest/backups: the folder cannot be made. Nothing was written "
                "to the card.");
  // Without XDG_DATA_HOME (or with a relative one) the data lives under HOME.
  setenv("XDG_DATA_HOME", "relative/data", 1);
  setenv("HOME", folder.path("home").c_str(), 1);
  ASSERT_FALSE(write_backup(blank_card(), path));
  EXPECT_EQ(list_backups(folder.path("home/.local/share/quillcrest/backups")).size(), 1u);
}

}  // namespace
