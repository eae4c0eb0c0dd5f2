// The rows of the relation list: which relation shows where after each kind
// of change, and how narrowly each change is announced to a view.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "relations/relation_rows.h"

namespace corvessa {
namespace {

// Writes down what a view would be told, in a compact form.
class Recorder final : public RelationRowsObserver {
 public:
  std::vector<std::string> events;

  void RowsAboutToBeInserted(int first, int last) override { Add("insert", first, last); }
  void RowsInserted() override {}
  void RowsAboutToBeRemoved(int first, int last) override { Add("remove", first, last); }
  void RowsRemoved() override {}
  void LayoutAboutToBeChanged() override {}
  void LayoutChanged(const std::vector<int>& newRowOfOldRow) override {
    std::string text = "layout";
    for (const int row : newRowOfOldRow) text += " " + std::to_string(row);
    events.push_back(text);
  }
  void RowsChanged(int first, int last) override { Add("change", first, last); }
  void ModelAboutToBeReset() override {}
  void ModelReset() override { events.push_back("reset"); }

 private:
  void Add(const char* what, int first, int last) {
    events.push_back(std::string(what) + " " + std::to_string(first) + "-" + std::to_string(last));
  }
};

// A table of relations whose last address byte and hostname tell them apart.
class RowsTest : public ::testing::Test {
 protected:
  Relation& Append(std::uint8_t last, std::string_view hostname) {
    auto relation = std::make_unique<Relation>();
    relation->hardwareAddress = {0x00, 0x1D, 0x9C, 0xC8, 0x12, last};
    relation->hardwareAddressLength = 6;
    relation->ipAddress = 0xC0A80100u | last;
    std::copy(hostname.begin(), hostname.end(), relation->hostname.begin());
    relation->hostnameLength = static_cast<std::uint8_t>(hostname.size());
    Relation& kept = *relation;
    table_.Append(std::move(relation));
    return kept;
  }

  // The hostnames of the rows, top to bottom.
  std::string Shown() const {
    std::string text;
    for (int row = 0; row < rows_.Count(); ++row) {
      if (!text.empty()) text += ",";
      text += std::string(rows_.At(row)->hostname.data(), rows_.At(row)->hostnameLength);
    }
    return text;
  }

  RelationTable table_;
  RelationRows rows_;
  Recorder recorder_;
};

TEST_F(RowsTest, LoadedFileShowsItsLastRelationOnTopUnsorted) {
  Append(1, "b");
  Append(2, "c");
  Append(3, "a");
  rows_.SetObserver(&recorder_);
  rows_.ShowLoaded(table_);
  EXPECT_EQ(Shown(), "a,c,b");
  EXPECT_EQ(recorder_.events, std::vector<std::string>{"reset"});
  EXPECT_EQ(rows_.RowOf(table_.At(0)), 2);
  EXPECT_EQ(rows_.At(3), nullptr);
  EXPECT_EQ(rows_.RowOf(nullptr), -1);
}

TEST_F(RowsTest, HeaderClicksSortDescendingFirstThenAscending) {
  Append(1, "b");
  Append(2, "c");
  Append(3, "a");
  rows_.ShowLoaded(table_);  // a,c,b
  rows_.SetObserver(&recorder_);

  constexpr int kHostnameColumn = 3;
  rows_.SortBy(kHostnameColumn);
  EXPECT_EQ(Shown(), "c,b,a");
  EXPECT_FALSE(rows_.SortAscending());
  rows_.SortBy(kHostnameColumn);
  EXPECT_EQ(Shown(), "a,b,c");
  EXPECT_TRUE(rows_.SortAscending());
  // Each is the same relations in another order: no row is lost to a view.
  EXPECT_EQ(recorder_.events, (std::vector<std::string>{"layout 2 0 1", "layout 2 1 0"}));
}

TEST_F(RowsTest, NewRelationGoesOnTopAndIsSortedInAtTheNextRefresh) {
  Append(1, "b");
  Append(2, "d");
  rows_.ShowLoaded(table_);
  rows_.SortBy(3);
  rows_.SortBy(3);  // ascending: b,d
  rows_.SetObserver(&recorder_);

  Relation& added = Append(3, "c");
  rows_.Insert(added, 0);
  EXPECT_EQ(Shown(), "c,b,d");
  rows_.Refresh(table_);
  EXPECT_EQ(Shown(), "b,c,d");
  EXPECT_EQ(recorder_.events, (std::vector<std::string>{"insert 0-0", "layout 1 0 2"}));
}

TEST_F(RowsTest, ServedRelationInPlaceChangesOnlyItsRow) {
  Append(1, "a");
  Relation& served = Append(2, "b");
  rows_.Refresh(table_);  // unsorted: table order
  rows_.SetObserver(&recorder_);

  served.type = kRelationTypeDhcp;
  rows_.Refresh(table_);
  rows_.RowChanged(&served);
  EXPECT_EQ(Shown(), "a,b");
  EXPECT_EQ(recorder_.events, std::vector<std::string>{"change 1-1"});
}

TEST_F(RowsTest, ServedRelationMovesWhenSortedByType) {
  Relation& first = Append(1, "a");
  Append(2, "b");
  rows_.Refresh(table_);
  rows_.SortBy(1);  // type, descending: both none, order kept
  rows_.SetObserver(&recorder_);

  first.type = kRelationTypeBootp;
  rows_.Refresh(table_);
  EXPECT_EQ(Shown(), "a,b");  // BOOTP sorts after none, descending puts it first
  first.type = kRelationTypeNone;
  table_.At(1)->type = kRelationTypeDhcp;
  rows_.Refresh(table_);
  EXPECT_EQ(Shown(), "b,a");
  EXPECT_EQ(recorder_.events, std::vector<std::string>{"layout 1 0"});
}

TEST_F(RowsTest, RemovedAndVanishedRelations) {
  Relation& a = Append(1, "a");
  Append(2, "b");
  Append(3, "c");
  rows_.Refresh(table_);
  rows_.SetObserver(&recorder_);

  rows_.Remove(&a);
  rows_.Remove(&a);  // no row any more: nothing happens
  EXPECT_EQ(Shown(), "b,c");
  // The table lost another relation behind the rows' back: a refresh starts afresh.
  table_.Remove(table_.At(2));
  table_.Remove(&a);
  rows_.Refresh(table_);
  EXPECT_EQ(Shown(), "b");
  rows_.Clear();
  rows_.Clear();  // already empty: nothing to announce
  EXPECT_EQ(rows_.Count(), 0);
  EXPECT_EQ(recorder_.events, (std::vector<std::string>{"remove 0-0", "reset", "remove 0-0"}));
}

}  // namespace
}  // namespace corvessa
