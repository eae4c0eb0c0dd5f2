// The relation list's model over the relation rows: the cells as the rows
// show them, and a selection in a Table that stays on the same relations
// while requests are served, the list is sorted, and rows come and go.

#include <memory>
#include <string>
#include <vector>

#include <QSignalSpy>

#include <gtest/gtest.h>

#include "relations/relation_rows.h"
#include "ui/widgets/relation_model.h"
#include "ui/widgets/table.h"

namespace corvessa {
namespace {

const std::vector<std::string> kRelationColumns = {"Ethernet Address (MAC)", "Type  ", "IP Address          ",
                                                   "Hostname", "Description"};

class RelationModelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    model_.SetHeaders(kRelationColumns);
    view_.SetModel(&model_);
    view_.SetMultiSelection(true);
    for (std::uint8_t last : {0x11, 0x22, 0x33, 0x44}) Append(last);
    rows_.ShowLoaded(table_);  // 44, 33, 22, 11
  }
  void TearDown() override { view_.SetModel(nullptr); }

  Relation& Append(std::uint8_t last) {
    auto relation = std::make_unique<Relation>();
    relation->hardwareAddress = {0x00, 0x1D, 0x9C, 0xC8, 0x12, last};
    relation->hardwareAddressLength = 6;
    relation->ipAddress = 0xC0A80100u | last;
    const std::string name = "plc-" + std::to_string(last);
    std::copy(name.begin(), name.end(), relation->hostname.begin());
    relation->hostnameLength = static_cast<std::uint8_t>(name.size());
    Relation& kept = *relation;
    table_.Append(std::move(relation));
    return kept;
  }

  // The last address bytes of the selected relations, top to bottom.
  std::vector<int> Selected() const {
    std::vector<int> lasts;
    for (const Relation* relation : model_.RelationsOf(view_.SelectedRows())) {
      lasts.push_back(relation->hardwareAddress[5]);
    }
    return lasts;
  }

  QString Cell(int row, int column) const { return model_.data(model_.index(row, column)).toString(); }

  RelationTable table_;
  RelationRows rows_;
  RelationModel model_{rows_};
  Table view_;
};

TEST_F(RelationModelTest, CellsAreTheRelationTextsInColumnOrder) {
  table_.At(0)->type = kRelationTypeBootp;
  const char* expected[] = {"00:1D:9C:C8:12:11", "BOOTP", "192.168.1.17", "plc-17", ""};
  for (int column = 0; column < 5; ++column) EXPECT_EQ(Cell(3, column), QString::fromLatin1(expected[column]));
  EXPECT_FALSE(model_.data(model_.index(4, 0)).isValid());
  EXPECT_EQ(model_.RelationsOf({3, 9, 0}).size(), 2u);
}

TEST_F(RelationModelTest, SelectionFollowsItsRelationsThroughEveryChange) {
  ASSERT_TRUE(view_.SelectRow(1, false));  // 0x33
  ASSERT_TRUE(view_.SelectRow(3, true));   // 0x11
  EXPECT_EQ(Selected(), (std::vector<int>{0x33, 0x11}));

  // A served request that leaves the order as it is repaints one row.
  QSignalSpy changed(&model_, &QAbstractItemModel::dataChanged);
  QSignalSpy reset(&model_, &QAbstractItemModel::modelReset);
  table_.At(0)->type = kRelationTypeDhcp;
  rows_.Refresh(table_);  // unsorted: table order 11, 22, 33, 44
  rows_.RowChanged(table_.At(0));
  EXPECT_EQ(changed.count(), 1);
  EXPECT_EQ(reset.count(), 0);
  EXPECT_EQ(Selected(), (std::vector<int>{0x11, 0x33}));

  // Sorting moves the rows, and the selection with them.
  rows_.SortBy(2);  // IP, descending
  EXPECT_EQ(Cell(0, 0), QStringLiteral("00:1D:9C:C8:12:44"));
  EXPECT_EQ(Selected(), (std::vector<int>{0x33, 0x11}));

  // A new relation on top, and a selected one deleted.
  rows_.Insert(Append(0x55), 0);
  EXPECT_EQ(Selected(), (std::vector<int>{0x33, 0x11}));
  rows_.Remove(table_.At(2));  // 0x33
  EXPECT_EQ(Selected(), (std::vector<int>{0x11}));
  EXPECT_EQ(reset.count(), 0);
}

}  // namespace
}  // namespace corvessa
