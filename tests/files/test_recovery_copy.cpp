// The recovery copy: what is written where, what the next start finds, and
// that a copy whose settings never passed still gives back its relations.

#include "files/recovery_copy.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "files/bpc_writer.h"
#include "files_fixture.h"
#include "tests/support/temp_folder.h"

namespace corvessa {
namespace {

namespace fs = std::filesystem;
using namespace files_test;
using testsupport::ReadWholeFile;
using testsupport::WriteWholeFile;

NetworkSettings Settings() {
  NetworkSettings settings;
  settings.subnetMask = 0xFFFFFF00;
  settings.gateway = Ip(192, 168, 1, 254);
  settings.SetDomainName("plant.local");
  return settings;
}

class RecoveryCopyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.ok());
    table_.Append(MakeRelation(NumberedMac(1), NumberedIp(1), "press", "Line 1"));
    table_.Append(MakeRelation(NumberedMac(2), NumberedIp(2)));
  }
  // The store's folder does not exist yet: keeping a copy creates it.
  std::string Folder() const { return (folder_.Path() / "state" / "corvessa").string(); }
  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(Folder())) names.insert(entry.path().filename().string());
    return names;
  }

  testsupport::TempFolder folder_{"recovery"};
  RelationTable table_;
};

TEST_F(RecoveryCopyTest, KeptUnderTheNameOfItsFileAndFoundAgain) {
  RecoveryStore store(Folder());
  ASSERT_TRUE(store.Keep(Settings(), table_, "/home/engineer/plants/hall 2.csv"));
  EXPECT_EQ(Names(), (std::set<std::string>{"recovery", "hall 2.csv.bpc"}));
  // The index: the copy's name, then the file it belongs to.
  EXPECT_EQ(ReadWholeFile(fs::path(Folder()) / "recovery"), "hall 2.csv.bpc\n/home/engineer/plants/hall 2.csv");
  const std::vector<std::uint8_t> expected = WriteBpc(Settings(), table_);
  EXPECT_EQ(ReadWholeFile(fs::path(Folder()) / "hall 2.csv.bpc"), std::string(expected.begin(), expected.end()));
  EXPECT_EQ(fs::status(fs::path(Folder()) / "hall 2.csv.bpc").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);

  const std::optional<RecoveryCopy> found = RecoveryStore(Folder()).Find();
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(found->fileName, "/home/engineer/plants/hall 2.csv");
  EXPECT_EQ(found->copyPath, (fs::path(Folder()) / "hall 2.csv.bpc").string());
  EXPECT_EQ(found->bytes, expected);
}

TEST_F(RecoveryCopyTest, ANewerCopyReplacesTheOldAndRemoveLeavesNothing) {
  RecoveryStore store(Folder());
  ASSERT_TRUE(store.Keep(Settings(), table_, "/srv/a.bpc"));
  ASSERT_TRUE(store.Keep(Settings(), table_, ""));
  EXPECT_EQ(Names(), (std::set<std::string>{"recovery", "untitled.bpc"}));
  const std::optional<RecoveryCopy> found = store.Find();
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(found->fileName, "");
  store.Remove();
  EXPECT_TRUE(Names().empty());
  EXPECT_FALSE(store.Find().has_value());
  store.Remove();  // nothing there: no failure
}

TEST_F(RecoveryCopyTest, CopyNames) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"/home/u/plant.bpc", "plant.bpc"},   {"/home/u/PLANT.BPC", "PLANT.BPC"},
      {"/home/u/plant.csv", "plant.csv.bpc"}, {"/home/u/plant", "plant.bpc"},
      {"", "untitled.bpc"},                   {"/home/u/", "untitled.bpc"},
      {"/home/u/..", "untitled.bpc"},         {"/home/u/a\nb.bpc", "a_b.bpc"},
      {"/home/u/recovery", "untitled.bpc"},   // never the index's own name
  };
  for (const auto& [file, copy] : cases) EXPECT_EQ(RecoveryStore::CopyName(file), copy) << file;
}

TEST_F(RecoveryCopyTest, AnIndexThatPointsOutsideTheFolderIsNoCopy) {
  ASSERT_TRUE(WriteWholeFile(folder_.Path() / "state" / "secret.bpc", "x"));
  for (const char* index : {"../secret.bpc\n/home/u/a.bpc", "no line end", "\n/home/u/a.bpc", "missing.bpc\n"}) {
    SCOPED_TRACE(index);
    ASSERT_TRUE(WriteWholeFile(fs::path(Folder()) / "recovery", index));
    EXPECT_FALSE(RecoveryStore(Folder()).Find().has_value());
  }
}

TEST_F(RecoveryCopyTest, RelationsComeBackEvenWhenTheSettingsNeverPassed) {
  NetworkSettings never;  // the settings dialog was cancelled: mask 0
  const std::vector<std::uint8_t> copy = WriteBpc(never, table_);
  RelationTable table;
  bool settingsUsable = true;
  const BpcLoad load = ReadRecoveryCopy(copy, table, settingsUsable);
  ASSERT_TRUE(load.Succeeded());
  EXPECT_FALSE(settingsUsable);
  ASSERT_EQ(table.Count(), 2);
  EXPECT_EQ(TextOf(table.At(0)->description, table.At(0)->descriptionLength), "Line 1");

  const std::vector<std::uint8_t> good = WriteBpc(Settings(), table_);
  RelationTable again;
  const BpcLoad reload = ReadRecoveryCopy(good, again, settingsUsable);
  ASSERT_TRUE(reload.Succeeded());
  EXPECT_TRUE(settingsUsable);
  EXPECT_EQ(reload.settings.gateway, Ip(192, 168, 1, 254));
  EXPECT_EQ(again.Count(), 2);
}

}  // namespace
}  // namespace corvessa
