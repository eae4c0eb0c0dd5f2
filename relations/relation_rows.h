#pragma once
// The rows of the relation list: which relation each row shows, top to
// bottom, and the order the user chose with a header click. Plain logic; the
// window shows it through a model that observes it. Changes are announced as
// narrowly as they are: a served request that leaves the order as it was
// changes one row, a new order of the same relations is a layout change, so a
// selection survives both.

#include <cstdint>
#include <vector>

#include "relations/relation_presence.h"
#include "relations/relation_table.h"

namespace corvessa {

// What an item model needs to follow the rows. Every change is announced
// before it happens (with the rows as they are then) and confirmed after.
class RelationRowsObserver {
 public:
  virtual ~RelationRowsObserver() = default;
  virtual void RowsAboutToBeInserted(int first, int last) = 0;
  virtual void RowsInserted() = 0;
  virtual void RowsAboutToBeRemoved(int first, int last) = 0;
  virtual void RowsRemoved() = 0;
  // The same relations in another order; newRowOfOldRow[r] is where the
  // relation of old row r now stands.
  virtual void LayoutAboutToBeChanged() = 0;
  virtual void LayoutChanged(const std::vector<int>& newRowOfOldRow) = 0;
  virtual void RowsChanged(int first, int last) = 0;
  virtual void ModelAboutToBeReset() = 0;
  virtual void ModelReset() = 0;
};

class RelationRows {
 public:
  int Count() const { return static_cast<int>(rows_.size()); }
  // nullptr for a row that does not exist.
  Relation* At(int row) const;
  // -1 when the relation has no row.
  int RowOf(const Relation* relation) const;

  // -1 until the first header click.
  int SortColumn() const { return sortColumn_; }
  bool SortAscending() const { return sortAscending_; }

  // A row for `relation` at `row` (past the end: at the bottom). A new
  // relation goes on top, whatever the sort; it is sorted in at the next
  // sort or refresh.
  void Insert(Relation& relation, int row);
  // The relation's row goes; a relation without a row is ignored.
  void Remove(const Relation* relation);
  void Clear();
  // Every relation of the table, each put on top in turn: the table's last
  // relation shows first. This is how a loaded file shows, unsorted.
  void ShowLoaded(const RelationTable& table);
  // The rows rebuilt from the table in table order, then sorted as the user
  // last chose.
  void Refresh(const RelationTable& table);
  // The texts of the relation's row changed (the server set its type).
  void RowChanged(const Relation* relation);
  // A header click: the direction is ascending only when the same column was
  // last sorted descending.
  void SortBy(int column);

  // What the last identity scan said about the relations' addresses. Every
  // row repaints; rows sorted by a presence column take their new order.
  void SetPresence(PresenceCells presence);
  const PresenceCells& Presence() const { return presence_; }

  // The observer is not owned; nullptr detaches it.
  void SetObserver(RelationRowsObserver* observer) { observer_ = observer; }

 private:
  void Reorder(std::vector<Relation*> order);
  void Reset(std::vector<Relation*> rows);
  void SortRows(std::vector<Relation*>& rows) const;
  // < 0 puts a before b in the user's sort.
  int CompareRows(const Relation& a, const Relation& b) const;

  std::vector<Relation*> rows_;
  int sortColumn_ = -1;
  bool sortAscending_ = true;
  PresenceCells presence_;
  RelationRowsObserver* observer_ = nullptr;
};

}  // namespace corvessa
