// The relation list's rows: insertion at an index, cell texts, item data,
// deletion, the case-insensitive prefix find and the callback sort.

#include <string>
#include <vector>

#include <QSignalSpy>

#include <gtest/gtest.h>

#include "ui/widgets/row_table_model.h"

namespace corvessa {
namespace {

const std::vector<std::string> kColumns = {"Ethernet Address (MAC)", "Type  ", "IP Address          ",
                                           "Hostname", "Description"};

std::vector<std::string> Column0(const RowTableModel& model) {
  std::vector<std::string> texts;
  for (int r = 0; r < model.RowCount(); ++r) texts.push_back(model.CellText(r, 0));
  return texts;
}

class RowTableModelTest : public ::testing::Test {
 protected:
  void SetUp() override { model.SetHeaders(kColumns); }
  RowTableModel model;
};

TEST_F(RowTableModelTest, HeadersAreColumnsLeftAligned) {
  ASSERT_EQ(model.columnCount(), 5);
  EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Type  "));
  EXPECT_EQ(model.headerData(2, Qt::Horizontal).toString(), QStringLiteral("IP Address          "));
  EXPECT_EQ(model.headerData(0, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>(),
            Qt::AlignLeft | Qt::AlignVCenter);
  EXPECT_FALSE(model.headerData(5, Qt::Horizontal).isValid());
}

TEST_F(RowTableModelTest, InsertPlacesRowsAndReportsIndex) {
  // Into an empty list, then above, between, past the end and a refused negative.
  EXPECT_EQ(model.InsertRow(0, {"B"}), 0);
  EXPECT_EQ(model.InsertRow(0, {"A"}), 0);
  EXPECT_EQ(model.InsertRow(1, {"AB"}), 1);
  EXPECT_EQ(model.InsertRow(99, {"C"}), 3);
  EXPECT_EQ(model.InsertRow(-1, {"X"}), -1);
  EXPECT_EQ(Column0(model), (std::vector<std::string>{"A", "AB", "B", "C"}));
}

TEST_F(RowTableModelTest, CellsBeyondTheGivenTextsAreEmptyAndExtraTextsDropped) {
  ASSERT_EQ(model.InsertRow(0, {"00:11:22:33:44:55", "", "10.0.0.1", "h", "d", "extra"}), 0);
  ASSERT_EQ(model.InsertRow(1, {"only"}), 1);
  EXPECT_EQ(model.CellText(0, 4), "d");
  EXPECT_EQ(model.CellText(0, 5), "");
  EXPECT_EQ(model.CellText(1, 3), "");
  EXPECT_EQ(model.data(model.index(0, 2)).toString(), QStringLiteral("10.0.0.1"));
  EXPECT_FALSE(model.data(model.index(0, 5)).isValid());
}

TEST_F(RowTableModelTest, SetCellTextAnnouncesTheChangeAndRefusesMissingCells) {
  model.InsertRow(0, {"a"});
  QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
  EXPECT_TRUE(model.SetCellText(0, 3, "plc-7"));
  EXPECT_EQ(model.CellText(0, 3), "plc-7");
  ASSERT_EQ(changed.count(), 1);
  EXPECT_EQ(changed.at(0).at(0).value<QModelIndex>(), model.index(0, 3));

  EXPECT_FALSE(model.SetCellText(1, 0, "x"));
  EXPECT_FALSE(model.SetCellText(0, 5, "x"));
  EXPECT_FALSE(model.SetCellText(-1, 0, "x"));
  EXPECT_EQ(changed.count(), 1);
}

TEST_F(RowTableModelTest, ItemDataTravelsWithItsRow) {
  int first = 1;
  int second = 2;
  model.InsertRow(0, {"first"});
  ASSERT_TRUE(model.SetItemData(0, &first));
  model.InsertRow(0, {"second"});
  ASSERT_TRUE(model.SetItemData(0, &second));
  EXPECT_EQ(model.ItemData(0), &second);
  EXPECT_EQ(model.ItemData(1), &first);
  EXPECT_EQ(model.ItemData(2), nullptr);
  EXPECT_FALSE(model.SetItemData(2, &first));
  ASSERT_TRUE(model.DeleteRow(0));
  EXPECT_EQ(model.ItemData(0), &first);
}

TEST_F(RowTableModelTest, DeleteRowAndDeleteAll) {
  for (const char* t : {"a", "b", "c"}) model.InsertRow(model.RowCount(), {t});
  QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
  EXPECT_TRUE(model.DeleteRow(1));
  EXPECT_FALSE(model.DeleteRow(2));
  EXPECT_FALSE(model.DeleteRow(-1));
  EXPECT_EQ(Column0(model), (std::vector<std::string>{"a", "c"}));
  EXPECT_TRUE(model.DeleteAll());
  EXPECT_EQ(model.RowCount(), 0);
  EXPECT_TRUE(model.DeleteAll());  // nothing left: still succeeds
  ASSERT_EQ(removed.count(), 2);
  EXPECT_EQ(removed.at(1).at(1).toInt(), 0);
  EXPECT_EQ(removed.at(1).at(2).toInt(), 1);
}

TEST_F(RowTableModelTest, ReplaceAllSwapsEveryRowWithOneReset) {
  for (const char* t : {"old1", "old2"}) model.InsertRow(model.RowCount(), {t});
  int first = 1;
  int second = 2;
  QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
  QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
  QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
  // Short rows are padded with empty cells, long ones cut to the columns.
  model.ReplaceAll({{{"a", "BOOTP"}, &first}, {{"b", "", "", "", "", "extra"}, &second}, {{}, nullptr}});

  EXPECT_EQ(reset.count(), 1);
  EXPECT_EQ(inserted.count(), 0);
  EXPECT_EQ(removed.count(), 0);
  EXPECT_EQ(Column0(model), (std::vector<std::string>{"a", "b", ""}));
  EXPECT_EQ(model.CellText(0, 1), "BOOTP");
  EXPECT_EQ(model.CellText(0, 4), "");
  EXPECT_EQ(model.CellText(1, 5), "");
  EXPECT_EQ(model.ItemData(0), &first);
  EXPECT_EQ(model.ItemData(1), &second);
  EXPECT_EQ(model.ItemData(2), nullptr);

  model.ReplaceAll({});
  EXPECT_EQ(model.RowCount(), 0);
}

TEST_F(RowTableModelTest, FindPrefixIgnoresCaseAndSearchesFromTheTop) {
  for (const char* t : {"00:1D:9C:C8:12:34", "00:1d:9c:aa:00:01", "00:1D:9C:C8:12:34:56", "0A:00:3C:12:34:56"}) {
    model.InsertRow(model.RowCount(), {t, "DHCP"});
  }
  struct Case {
    const char* prefix;
    int row;
  };
  const Case cases[] = {
      {"00:1D:9C:C8:12:34", 0},  // exact text: the top one of two that begin so
      {"00:1d:9c:c8:12:34:5", 2},
      {"00:1D:9C:AA", 1},        // case folded
      {"0a:00:3c", 3},
      {"", 0},                   // empty text matches the top row
      {"00:1D:9C:C8:12:34:56:78", -1},
      {"DHCP", -1},              // only column 0 is searched
      {"1D", -1},                // a prefix, not a substring
  };
  for (const Case& c : cases) EXPECT_EQ(model.FindPrefix(c.prefix), c.row) << c.prefix;
}

TEST_F(RowTableModelTest, FindPrefixInAnEmptyListFindsNothing) { EXPECT_EQ(model.FindPrefix(""), -1); }

struct Keyed {
  int key;
  const char* name;
};

int Ascending(void* a, void* b) { return static_cast<Keyed*>(a)->key - static_cast<Keyed*>(b)->key; }
int Descending(void* a, void* b) { return -Ascending(a, b); }

TEST_F(RowTableModelTest, SortIsStableInBothDirections) {
  Keyed items[] = {{2, "b1"}, {1, "a1"}, {2, "b2"}, {3, "c"}, {1, "a2"}};
  for (Keyed& k : items) {
    const int row = model.InsertRow(model.RowCount(), {k.name});
    model.SetItemData(row, &k);
  }
  model.Sort(Ascending);
  EXPECT_EQ(Column0(model), (std::vector<std::string>{"a1", "a2", "b1", "b2", "c"}));
  model.Sort(Descending);
  // Equal keys keep the order they had before this sort.
  EXPECT_EQ(Column0(model), (std::vector<std::string>{"c", "b1", "b2", "a1", "a2"}));
  for (int r = 0; r < model.RowCount(); ++r) {
    EXPECT_EQ(static_cast<Keyed*>(model.ItemData(r))->name, model.CellText(r, 0));
  }
}

TEST_F(RowTableModelTest, SortMovesPersistentIndexesWithTheirRows) {
  Keyed items[] = {{3, "c"}, {1, "a"}, {2, "b"}};
  for (Keyed& k : items) model.SetItemData(model.InsertRow(model.RowCount(), {k.name}), &k);
  const QPersistentModelIndex onB = model.index(2, 1);
  QSignalSpy layout(&model, &QAbstractItemModel::layoutChanged);
  model.Sort(Ascending);
  EXPECT_EQ(layout.count(), 1);
  EXPECT_EQ(onB.row(), 1);
  EXPECT_EQ(onB.column(), 1);
}

TEST_F(RowTableModelTest, SortOfOneRowOrNoneChangesNothing) {
  QSignalSpy layout(&model, &QAbstractItemModel::layoutChanged);
  model.Sort(Ascending);
  model.InsertRow(0, {"only"});
  model.Sort(Ascending);  // item data is nullptr: the callback must not be called
  EXPECT_EQ(layout.count(), 0);
  EXPECT_EQ(Column0(model), (std::vector<std::string>{"only"}));
}

TEST_F(RowTableModelTest, TextsThatAreNotUtf8ShowEveryByte) {
  model.InsertRow(0, {std::string("M\xFC" "ller"), std::string("Stra\xC3\x9F" "e")});
  EXPECT_EQ(model.data(model.index(0, 0)).toString(), QString::fromUtf8("M\xC3\xBCller"));
  EXPECT_EQ(model.data(model.index(0, 1)).toString(), QString::fromUtf8("Stra\xC3\x9F" "e"));
}

}  // namespace
}  // namespace corvessa
