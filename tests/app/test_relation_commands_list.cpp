// Deleting and sorting relations in the main window's relation list, and how
// a sort survives the rebuilds that served requests and edits cause.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/app/test_relation_commands_support.h"

namespace corvessa::app_test {
namespace {

using Driver = RelationEditorDriver;

struct DeletePath {
  const char* name;
  std::function<void(RelationCommandsTest&, MainWindow&, Table&)> run;
};

class RelationListTest : public RelationCommandsTest {
 protected:
  // Four relations a, b, c, d in table and row order.
  void ListFour() {
    Listed({0x02, 0, 0, 0, 0, 1}, Ip(192, 168, 1, 11), "a");
    Listed({0x02, 0, 0, 0, 0, 2}, Ip(192, 168, 1, 12), "b");
    Listed({0x02, 0, 0, 0, 0, 3}, Ip(192, 168, 1, 13), "c");
    Listed({0x02, 0, 0, 0, 0, 4}, Ip(192, 168, 1, 14), "d");
  }
};

TEST_F(RelationListTest, ThreeSelectedRowsGoTogetherWithoutAQuestion) {
  const DeletePath paths[] = {
      {"Delete key in the list",
       [](RelationCommandsTest&, MainWindow&, Table& list) {
         list.setFocus(Qt::OtherFocusReason);
         QTest::keyClick(&list, Qt::Key_Delete);
       }},
      {"Tools menu command", [](RelationCommandsTest&, MainWindow& w, Table&) { w.OnCommand(ids::kDeleteRelation); }},
      {"Delete Relation button",
       [](RelationCommandsTest&, MainWindow& w, Table&) {
         QTest::mouseClick(qobject_cast<QPushButton*>(w.Control(ids::kDeleteRelationButton)), Qt::LeftButton);
       }},
  };
  for (const DeletePath& path : paths) {
    SCOPED_TRACE(path.name);
    window->Relations().Clear();
    window->RefreshRelationList();
    ListFour();
    window->CurrentSession().SetModified(false);
    SelectRelationRows({0, 2, 3});
    ASSERT_TRUE(window->Control(ids::kDeleteRelationButton)->isVisible());

    path.run(*this, *window, RelationList());
    EXPECT_EQ(TableHostnames(), std::vector<std::string>{"b"});
    EXPECT_EQ(Column(3), std::vector<std::string>{"b"});
    EXPECT_EQ(Counter(), "1 of 256");
    EXPECT_TRUE(window->Modified());
    EXPECT_TRUE(surroundings.prompts.Shown().empty());
    // Nothing selected any more: the relation buttons hide.
    EXPECT_TRUE(window->Control(ids::kDeleteRelationButton)->isHidden());
  }
}

TEST_F(RelationListTest, DeleteWithoutASelectionChangesNothing) {
  ListFour();
  RelationList().ClearSelectionOfRows();
  window->OnCommand(ids::kDeleteRelation);
  EXPECT_EQ(window->Relations().Count(), 4);
  EXPECT_FALSE(window->Modified());
  EXPECT_EQ(Counter(), "4 of 256");
}

TEST_F(RelationListTest, IpColumnSortsNumericallyDescendingFirst) {
  Listed({0x02, 0, 0, 0, 0, 1}, Ip(10, 0, 0, 1));
  Listed({0x02, 0, 0, 0, 0, 2}, Ip(192, 168, 1, 20));
  Listed({0x02, 0, 0, 0, 0, 3}, Ip(192, 168, 1, 3));
  ASSERT_EQ(window->Rows().SortColumn(), -1);

  ClickHeader(2);
  EXPECT_EQ(Column(2), (std::vector<std::string>{"192.168.1.20", "192.168.1.3", "10.0.0.1"}));
  EXPECT_EQ(window->Rows().SortColumn(), 2);
  EXPECT_FALSE(window->Rows().SortAscending());

  ClickHeader(2);
  EXPECT_EQ(Column(2), (std::vector<std::string>{"10.0.0.1", "192.168.1.3", "192.168.1.20"}));
  EXPECT_TRUE(window->Rows().SortAscending());

  // Another column starts descending again.
  ClickHeader(0);
  EXPECT_EQ(window->Rows().SortColumn(), 0);
  EXPECT_FALSE(window->Rows().SortAscending());
  EXPECT_EQ(Column(0), (std::vector<std::string>{"02:00:00:00:00:03", "02:00:00:00:00:02", "02:00:00:00:00:01"}));
}

TEST_F(RelationListTest, HostnamesSortWithoutRegardToCase) {
  Listed({0x02, 0, 0, 0, 0, 1}, Ip(192, 168, 1, 11), "ABD");
  Listed({0x02, 0, 0, 0, 0, 2}, Ip(192, 168, 1, 12), "abc");
  ClickHeader(3);
  EXPECT_EQ(Column(3), (std::vector<std::string>{"ABD", "abc"}));
  ClickHeader(3);
  EXPECT_EQ(Column(3), (std::vector<std::string>{"abc", "ABD"}));
}

TEST_F(RelationListTest, ServedRequestKeepsTheSort) {
  Listed({0x02, 0, 0, 0, 0, 1}, Ip(192, 168, 1, 11), "c");
  Listed({0x02, 0, 0, 0, 0, 2}, Ip(192, 168, 1, 12), "a");
  Listed({0x02, 0, 0, 0, 0, 3}, Ip(192, 168, 1, 13), "b");
  ClickHeader(3);
  ClickHeader(3);  // hostname ascending
  ASSERT_EQ(Column(3), (std::vector<std::string>{"a", "b", "c"}));

  Request({0x02, 0, 0, 0, 0, 1});
  EXPECT_EQ(Column(3), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(Column(1), (std::vector<std::string>{"", "", "BOOTP"}));
  EXPECT_EQ(window->Rows().SortColumn(), 3);
  EXPECT_TRUE(window->Rows().SortAscending());
  // The server's mark is no change of the document.
  EXPECT_FALSE(window->Modified());
}

TEST_F(RelationListTest, EditKeepsTheSort) {
  Listed({0x02, 0, 0, 0, 0, 1}, Ip(192, 168, 1, 11), "c");
  Listed({0x02, 0, 0, 0, 0, 2}, Ip(192, 168, 1, 12), "a");
  Listed({0x02, 0, 0, 0, 0, 3}, Ip(192, 168, 1, 13), "b");
  ClickHeader(3);  // hostname descending
  ASSERT_EQ(Column(3), (std::vector<std::string>{"c", "b", "a"}));

  // "a" becomes "d": it moves to the end of the table and to the top of the rows.
  SelectRelationRows({2});
  editors.Queue(Driver::EnterAndOk(nullptr, nullptr, "d"));
  window->OnCommand(ids::kProperties);
  EXPECT_EQ(TableHostnames(), (std::vector<std::string>{"c", "b", "d"}));
  EXPECT_EQ(Column(3), (std::vector<std::string>{"d", "c", "b"}));
  EXPECT_EQ(window->Rows().SortColumn(), 3);
  EXPECT_FALSE(window->Rows().SortAscending());
}

TEST_F(RelationListTest, PropertiesScrollsBackToTheEditedRow) {
  constexpr int kRows = 60;
  constexpr int kEdited = 50;
  for (int i = 0; i < kRows; ++i) {
    window->Relations().Append(MakeRelation({0x02, 0, 0, 0, 0, static_cast<std::uint8_t>(i + 1)},
                                            Ip(192, 168, 1, static_cast<unsigned>(i + 10))));
  }
  window->RefreshRelationList();
  ASSERT_LT(RelationList().RowsThatFit(), kEdited) << "the list must be shorter than its rows";
  SelectRelationRows({kEdited});
  RelationList().scrollToTop();

  editors.Queue(Driver::PressCancel());
  window->OnCommand(ids::kProperties);
  ASSERT_EQ(editors.Shown().size(), 1u);
  const QRect row = RelationList().visualRect(RelationList().model()->index(kEdited, 0));
  EXPECT_TRUE(RelationList().viewport()->rect().contains(row)) << "row at " << row.y() << ".." << row.bottom();
}

}  // namespace
}  // namespace corvessa::app_test
