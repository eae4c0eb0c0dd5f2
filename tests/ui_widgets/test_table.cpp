// The list view of both lists: column set-up, selection helpers in single and
// extended mode, scrolling helpers and the notifications the window listens to.

#include <string>
#include <vector>

#include <QApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include "tests/support/cell_fit.h"
#include "ui/widgets/table.h"

namespace corvessa {
namespace {

const std::vector<std::string> kHistoryColumns = {"Ethernet Address (MAC)", "Type  ", "(hr:min:sec)",
                                                  "#   ", "IP Address          ", "Hostname"};

class TableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    table.resize(700, 300);
    table.SetupColumns(kHistoryColumns);
  }
  void AddRows(int n) {
    for (int i = 0; i < n; ++i) {
      table.Rows()->InsertRow(table.RowCount(), {"row " + std::to_string(i)});
    }
  }
  // Centre of a row in viewport coordinates.
  QPoint RowCentre(int row) const {
    return table.visualRect(table.Model()->index(row, 0)).center();
  }
  Table table;
};

TEST_F(TableTest, SetupColumnsGivesBoldColumnsInOrder) {
  ASSERT_EQ(table.horizontalHeader()->count(), 6);
  EXPECT_EQ(table.font().weight(), QFont::Bold);
  EXPECT_EQ(table.horizontalHeader()->font().weight(), QFont::Bold);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(table.Model()->headerData(i, Qt::Horizontal).toString().toStdString(),
              kHistoryColumns[static_cast<std::size_t>(i)]);
  }
}

TEST_F(TableTest, EachColumnIsAtLeastAsWideAsItsHeaderTextWithBlanks) {
  const QFontMetrics metrics(table.horizontalHeader()->font());
  for (int i = 0; i + 1 < 6; ++i) {
    const QString text = QString::fromStdString(kHistoryColumns[static_cast<std::size_t>(i)]);
    EXPECT_GE(table.horizontalHeader()->sectionSize(i), metrics.horizontalAdvance(text)) << i;
  }
}

TEST(TableColumns, TrailingBlanksWidenAColumn) {
  Table plain;
  Table padded;
  plain.SetupColumns({"IP Address", "Hostname"});
  padded.SetupColumns({"IP Address          ", "Hostname"});
  EXPECT_GT(padded.horizontalHeader()->sectionSize(0), plain.horizontalHeader()->sectionSize(0));
}

bool ShowsWhole(const Table& table, int row, int column, const QString& text) {
  return testsupport::CellShowsWhole(table, row, column, text);
}

TEST_F(TableTest, WidenColumnForShowsTheTextWholeAndNeverNarrows) {
  table.Rows()->InsertRow(0, {"00:1D:9C:C8:12:34", "WWWWWWWWWW"});
  const int before = table.horizontalHeader()->sectionSize(1);
  ASSERT_FALSE(ShowsWhole(table, 0, 1, QStringLiteral("WWWWWWWWWW")));  // the header alone is too narrow

  table.WidenColumnFor(1, "WWWWWWWWWW");
  EXPECT_GT(table.horizontalHeader()->sectionSize(1), before);
  EXPECT_TRUE(ShowsWhole(table, 0, 1, QStringLiteral("WWWWWWWWWW")));

  const int widened = table.horizontalHeader()->sectionSize(1);
  table.WidenColumnFor(1, "W");
  table.WidenColumnFor(1, "");
  table.WidenColumnFor(99, "WWWWWWWWWWWWWWWWWWWW");  // no such column
  EXPECT_EQ(table.horizontalHeader()->sectionSize(1), widened);
}

TEST_F(TableTest, SingleSelectionKeepsOneRow) {
  AddRows(4);
  table.SetMultiSelection(false);
  EXPECT_EQ(table.FirstSelectedRow(), -1);
  EXPECT_TRUE(table.SelectRow(2, false));
  EXPECT_TRUE(table.SelectRow(1, true));  // "add" means nothing with one selection
  EXPECT_EQ(table.SelectedRows(), std::vector<int>{1});
  EXPECT_FALSE(table.SelectRow(4, false));
  EXPECT_FALSE(table.SelectRow(-1, false));
  EXPECT_EQ(table.SelectedRows(), std::vector<int>{1});
}

TEST_F(TableTest, ExtendedSelectionReportsRowsTopToBottom) {
  AddRows(5);
  table.SetMultiSelection(true);
  table.SelectRow(3, false);
  table.SelectRow(0, true);
  table.SelectRow(4, true);
  EXPECT_EQ(table.SelectedRows(), (std::vector<int>{0, 3, 4}));
  EXPECT_EQ(table.FirstSelectedRow(), 0);
  EXPECT_EQ(table.SelectedCount(), 3);
  EXPECT_TRUE(table.IsRowSelected(3));
  EXPECT_FALSE(table.IsRowSelected(1));
  table.SelectRow(2, false);  // without "add" the others go
  EXPECT_EQ(table.SelectedRows(), std::vector<int>{2});
  table.ClearSelectionOfRows();
  EXPECT_EQ(table.FirstSelectedRow(), -1);
}

TEST_F(TableTest, ControlClickAddsInExtendedModeOnly) {
  AddRows(3);
  table.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&table));
  for (const bool multi : {true, false}) {
    table.SetMultiSelection(multi);
    table.ClearSelectionOfRows();
    QTest::mouseClick(table.viewport(), Qt::LeftButton, Qt::NoModifier, RowCentre(0));
    QTest::mouseClick(table.viewport(), Qt::LeftButton, Qt::ControlModifier, RowCentre(2));
    EXPECT_EQ(table.SelectedRows(), multi ? (std::vector<int>{0, 2}) : std::vector<int>{2}) << multi;
  }
}

TEST_F(TableTest, DeletingASelectedRowShiftsTheSelectionWithTheRows) {
  AddRows(4);
  table.SetMultiSelection(true);
  table.SelectRow(1, false);
  table.SelectRow(3, true);
  table.Rows()->DeleteRow(0);
  EXPECT_EQ(table.SelectedRows(), (std::vector<int>{0, 2}));
  table.Rows()->DeleteRow(0);
  EXPECT_EQ(table.SelectedRows(), std::vector<int>{1});
}

TEST_F(TableTest, ClickOnTheEmptyPartDropsTheSelection) {
  AddRows(2);
  table.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&table));
  QSignalSpy clicked(&table, &Table::Clicked);
  for (const bool multi : {true, false}) {
    table.SetMultiSelection(multi);
    table.SelectRow(1, false);
    QTest::mouseClick(table.viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(10, table.viewport()->height() - 5));
    EXPECT_EQ(table.FirstSelectedRow(), -1) << multi;
  }
  ASSERT_EQ(clicked.count(), 2);
  EXPECT_EQ(clicked.at(0).at(0).toInt(), -1);
}

TEST_F(TableTest, DoubleClickReportsTheRowOrMinusOne) {
  AddRows(2);
  table.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&table));
  QSignalSpy doubled(&table, &Table::DoubleClicked);
  QTest::mouseDClick(table.viewport(), Qt::LeftButton, Qt::NoModifier, RowCentre(1));
  QTest::mouseDClick(table.viewport(), Qt::LeftButton, Qt::NoModifier,
                     QPoint(10, table.viewport()->height() - 5));
  ASSERT_EQ(doubled.count(), 2);
  EXPECT_EQ(doubled.at(0).at(0).toInt(), 1);
  EXPECT_EQ(doubled.at(1).at(0).toInt(), -1);
}

TEST_F(TableTest, HeaderClicksAreReportedOnlyWhenClickable) {
  table.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&table));
  QSignalSpy clicked(&table, &Table::ColumnClicked);
  QHeaderView* head = table.horizontalHeader();
  const QPoint onColumn2(head->sectionViewportPosition(2) + 5, head->height() / 2);

  table.SetHeaderClickable(false);
  QTest::mouseClick(head->viewport(), Qt::LeftButton, Qt::NoModifier, onColumn2);
  EXPECT_EQ(clicked.count(), 0);

  table.SetHeaderClickable(true);
  AddRows(3);
  QTest::mouseClick(head->viewport(), Qt::LeftButton, Qt::NoModifier, onColumn2);
  ASSERT_EQ(clicked.count(), 1);
  EXPECT_EQ(clicked.at(0).at(0).toInt(), 2);
  // Qt's own sorting stays out: the rows keep their order.
  EXPECT_EQ(table.Rows()->CellText(0, 0), "row 0");
  EXPECT_EQ(table.Rows()->CellText(2, 0), "row 2");
}

TEST_F(TableTest, DeleteKeyIsReported) {
  AddRows(1);
  QSignalSpy deleted(&table, &Table::DeleteKeyPressed);
  QTest::keyClick(&table, Qt::Key_Delete);
  QTest::keyClick(&table, Qt::Key_Delete, Qt::KeypadModifier);
  QTest::keyClick(&table, Qt::Key_Backspace);
  EXPECT_EQ(deleted.count(), 2);
}

TEST_F(TableTest, RightClickReportsRowAndScreenPosition) {
  AddRows(2);
  table.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&table));
  QSignalSpy right(&table, &Table::RightClicked);
  const QPoint at = RowCentre(1);
  QContextMenuEvent event(QContextMenuEvent::Mouse, at, table.viewport()->mapToGlobal(at));
  QApplication::sendEvent(table.viewport(), &event);
  ASSERT_EQ(right.count(), 1);
  EXPECT_EQ(right.at(0).at(0).toInt(), 1);
  EXPECT_EQ(right.at(0).at(1).toPoint(), table.viewport()->mapToGlobal(at));
}

TEST_F(TableTest, NotificationsForTheButtons) {
  QSignalSpy inserted(&table, &Table::RowsInserted);
  QSignalSpy changed(&table, &Table::ItemChanged);
  AddRows(2);
  EXPECT_EQ(inserted.count(), 2);
  table.SelectRow(0, false);
  EXPECT_GE(changed.count(), 1);
  const int before = changed.count();
  table.Rows()->SetCellText(1, 1, "DHCP");
  EXPECT_EQ(changed.count(), before + 1);
}

TEST_F(TableTest, ScrollingHelpers) {
  AddRows(200);
  table.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&table));
  const int fit = table.RowsThatFit();
  ASSERT_GT(fit, 0);
  ASSERT_LT(fit, 200);
  EXPECT_EQ(table.TopVisibleRow(), 0);

  table.EnsureRowFullyVisible(150);
  const QRect shown = table.visualRect(table.Model()->index(150, 0));
  EXPECT_GE(shown.top(), 0);
  EXPECT_LE(shown.bottom(), table.viewport()->height());
  const int top = table.TopVisibleRow();
  EXPECT_GT(top, 0);
  EXPECT_LE(top, 150);
  EXPECT_GE(top + fit, 150);

  table.EnsureRowFullyVisible(0);
  EXPECT_EQ(table.TopVisibleRow(), 0);
}

TEST_F(TableTest, AnEmptyListHasTopRowZero) {
  EXPECT_EQ(table.TopVisibleRow(), 0);
  EXPECT_EQ(table.FirstSelectedRow(), -1);
  EXPECT_TRUE(table.SelectedRows().empty());
}

TEST_F(TableTest, FocusIsReported) {
  QWidget window;
  auto* list = new Table(&window);
  auto* other = new QWidget(&window);
  other->setFocusPolicy(Qt::StrongFocus);
  list->move(0, 0);
  other->move(0, 200);
  window.show();
  QApplication::setActiveWindow(&window);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  other->setFocus();  // activation may have given the list the focus already
  QSignalSpy in(list, &Table::FocusEntered);
  QSignalSpy out(list, &Table::FocusLeft);
  list->setFocus();
  other->setFocus();
  EXPECT_EQ(in.count(), 1);
  EXPECT_EQ(out.count(), 1);
}

TEST(TableKeys, TabLeavesTheListForTheNextControl) {
  QWidget window;
  auto* layout = new QVBoxLayout(&window);
  auto* list = new Table;
  auto* next = new QLineEdit;
  layout->addWidget(list);
  layout->addWidget(next);
  list->SetupColumns({"a", "b", "c"});
  list->Rows()->InsertRow(0, {"1", "2", "3"});
  window.show();
  QApplication::setActiveWindow(&window);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  list->setFocus();
  list->SelectRow(0, false);
  QTest::keyClick(list, Qt::Key_Tab);
  EXPECT_TRUE(next->hasFocus());
}

}  // namespace
}  // namespace corvessa
