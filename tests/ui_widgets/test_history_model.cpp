// The history list's model follows the HistoryList: rows and cells as the list
// holds them, and the model's insert/remove/reset signals at the right rows,
// so a Table over it keeps its selection on the right device.

#include <cstdint>
#include <string>

#include <QSignalSpy>

#include <gtest/gtest.h>

#include "server/history.h"
#include "ui/widgets/history_model.h"
#include "ui/widgets/table.h"

namespace corvessa {
namespace {

const std::vector<std::string> kHistoryColumns = {"Ethernet Address (MAC)", "Type  ", "(hr:min:sec)",
                                                  "#   ", "IP Address          ", "Hostname"};

HistoryEntry Entry(const std::string& mac, const std::string& count = "1") {
  return HistoryEntry{mac, "BOOTP", "9:05:03", count, "", ""};
}

// A BOOTP request (no option 53) from this six-byte hardware address.
BootpMessage Request(std::uint8_t last) {
  BootpMessage m;
  m.bytes[kOpOffset] = kOpBootRequest;
  m.bytes[kHtypeOffset] = 1;
  m.bytes[kHlenOffset] = 6;
  const std::uint8_t mac[6] = {0x00, 0x1D, 0x9C, 0xC8, 0x12, last};
  for (std::size_t i = 0; i < 6; ++i) m.bytes[kChaddrOffset + i] = mac[i];
  return m;
}

QString Cell(const HistoryModel& model, int row, int column) {
  return model.data(model.index(row, column)).toString();
}

class HistoryModelTest : public ::testing::Test {
 protected:
  void SetUp() override { model.SetHeaders(kHistoryColumns); }
  HistoryList list;
  HistoryModel model{list};
};

TEST_F(HistoryModelTest, CellsAreTheEntryTextsInColumnOrder) {
  list.InsertTop(HistoryEntry{"00:1D:9C:C8:12:34", "DHCP", "14:00:00", "3", "192.168.1.50", "plc-7"});
  ASSERT_EQ(model.rowCount(), 1);
  ASSERT_EQ(model.columnCount(), 6);
  const char* expected[] = {"00:1D:9C:C8:12:34", "DHCP", "14:00:00", "3", "192.168.1.50", "plc-7"};
  for (int c = 0; c < 6; ++c) EXPECT_EQ(Cell(model, 0, c), QString::fromLatin1(expected[c])) << c;
  EXPECT_FALSE(model.data(model.index(1, 0)).isValid());
}

TEST_F(HistoryModelTest, InsertAtTopIsAnnouncedAtRowZero) {
  QSignalSpy aboutToInsert(&model, &QAbstractItemModel::rowsAboutToBeInserted);
  QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
  list.InsertTop(Entry("00:00:00:00:00:01"));
  list.InsertTop(Entry("00:00:00:00:00:02"));
  ASSERT_EQ(inserted.count(), 2);
  EXPECT_EQ(aboutToInsert.count(), 2);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(inserted.at(i).at(1).toInt(), 0);
    EXPECT_EQ(inserted.at(i).at(2).toInt(), 0);
  }
  EXPECT_EQ(Cell(model, 0, 0), QStringLiteral("00:00:00:00:00:02"));
  EXPECT_EQ(Cell(model, 1, 0), QStringLiteral("00:00:00:00:00:01"));
}

TEST_F(HistoryModelTest, RemovalIsAnnouncedAtTheRemovedRow) {
  for (const char* mac : {"00:00:00:00:00:01", "00:00:00:00:00:02", "00:00:00:00:00:03"}) {
    list.InsertTop(Entry(mac));
  }
  QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
  list.RemoveRow(1);
  list.RemoveRow(5);  // no such row: nothing announced
  ASSERT_EQ(removed.count(), 1);
  EXPECT_EQ(removed.at(0).at(1).toInt(), 1);
  EXPECT_EQ(removed.at(0).at(2).toInt(), 1);
  ASSERT_EQ(model.rowCount(), 2);
  EXPECT_EQ(Cell(model, 0, 0), QStringLiteral("00:00:00:00:00:03"));
  EXPECT_EQ(Cell(model, 1, 0), QStringLiteral("00:00:00:00:00:01"));
}

TEST_F(HistoryModelTest, ARepeatedRequestMovesItsRowToTheTop) {
  RequestCountTable counts;
  const LocalTime nine{9, 5, 3};
  AddHistoryEntry(list, counts, Request(0x34), nullptr, nine);
  AddHistoryEntry(list, counts, Request(0x35), nullptr, nine);

  QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
  QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
  AddHistoryEntry(list, counts, Request(0x34), nullptr, LocalTime{14, 0, 0});

  ASSERT_EQ(removed.count(), 1);
  EXPECT_EQ(removed.at(0).at(1).toInt(), 1);  // the old row of ...:34
  ASSERT_EQ(inserted.count(), 1);
  EXPECT_EQ(inserted.at(0).at(1).toInt(), 0);
  ASSERT_EQ(model.rowCount(), 2);
  EXPECT_EQ(Cell(model, 0, 0), QStringLiteral("00:1D:9C:C8:12:34"));
  EXPECT_EQ(Cell(model, 0, 2), QStringLiteral("14:00:00"));
  EXPECT_EQ(Cell(model, 0, 3), QStringLiteral("2"));
  EXPECT_EQ(Cell(model, 1, 0), QStringLiteral("00:1D:9C:C8:12:35"));
}

TEST_F(HistoryModelTest, ClearHistoryResetsTheModel) {
  list.InsertTop(Entry("00:00:00:00:00:01"));
  QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
  std::uint32_t counter = 7;
  ASSERT_TRUE(ClearHistory(list, counter));
  EXPECT_EQ(reset.count(), 1);
  EXPECT_EQ(model.rowCount(), 0);
}

TEST_F(HistoryModelTest, SelectionInATableFollowsTheDevice) {
  Table table;
  table.SetModel(&model);
  table.SetupColumns(kHistoryColumns);
  RequestCountTable counts;
  for (std::uint8_t last : {0x01, 0x02, 0x03}) AddHistoryEntry(list, counts, Request(last), nullptr, {});
  ASSERT_TRUE(table.SelectRow(1, false));  // ...:02
  AddHistoryEntry(list, counts, Request(0x04), nullptr, {});
  EXPECT_EQ(table.FirstSelectedRow(), 2);
  EXPECT_EQ(Cell(model, 2, 0), QStringLiteral("00:1D:9C:C8:12:02"));
  // The selected device asks again: its old row goes and so does the selection.
  AddHistoryEntry(list, counts, Request(0x02), nullptr, {});
  EXPECT_EQ(table.FirstSelectedRow(), -1);
}

TEST(HistoryModelLifetime, DetachesFromTheListWhenDestroyed) {
  HistoryList list;
  {
    HistoryModel model(list);
    list.InsertTop(Entry("00:00:00:00:00:01"));
    EXPECT_EQ(model.rowCount(), 1);
  }
  // With the model gone the list works on without an observer.
  list.InsertTop(Entry("00:00:00:00:00:02"));
  list.RemoveRow(0);
  EXPECT_EQ(list.RowCount(), 1);
}

TEST(HistoryModelLarge, ManyRowsAreServedFromTheList) {
  // A long history is read in place; rows deep down read as the list has them.
  HistoryList list;
  HistoryModel model(list);
  model.SetHeaders(kHistoryColumns);
  constexpr int kRows = 100000;
  for (int i = 0; i < kRows; ++i) list.InsertTop(Entry(std::to_string(i)));
  ASSERT_EQ(model.rowCount(), kRows);
  EXPECT_EQ(Cell(model, 0, 0), QString::number(kRows - 1));
  EXPECT_EQ(Cell(model, kRows - 1, 0), QStringLiteral("0"));
  EXPECT_EQ(Cell(model, 12345, 0), QString::number(kRows - 1 - 12345));
}

}  // namespace
}  // namespace corvessa
