#include "relations/relation_rows.h"

#include <algorithm>
#include <unordered_map>

#include "relations/relation_order.h"

namespace corvessa {

Relation* RelationRows::At(int row) const {
  if (row < 0 || row >= Count()) return nullptr;
  return rows_[static_cast<std::size_t>(row)];
}

int RelationRows::RowOf(const Relation* relation) const {
  const auto found = std::find(rows_.begin(), rows_.end(), relation);
  return found == rows_.end() ? -1 : static_cast<int>(found - rows_.begin());
}

void RelationRows::Insert(Relation& relation, int row) {
  const int at = std::clamp(row, 0, Count());
  if (observer_) observer_->RowsAboutToBeInserted(at, at);
  rows_.insert(rows_.begin() + at, &relation);
  if (observer_) observer_->RowsInserted();
}

void RelationRows::Remove(const Relation* relation) {
  const int row = RowOf(relation);
  if (row < 0) return;
  if (observer_) observer_->RowsAboutToBeRemoved(row, row);
  rows_.erase(rows_.begin() + row);
  if (observer_) observer_->RowsRemoved();
}

void RelationRows::Clear() {
  if (rows_.empty()) return;
  if (observer_) observer_->RowsAboutToBeRemoved(0, Count() - 1);
  rows_.clear();
  if (observer_) observer_->RowsRemoved();
}

void RelationRows::ShowLoaded(const RelationTable& table) {
  std::vector<Relation*> rows;
  rows.reserve(static_cast<std::size_t>(table.Count()));
  for (const auto& relation : table) rows.push_back(relation.get());
  std::reverse(rows.begin(), rows.end());
  Reset(std::move(rows));
}

void RelationRows::Refresh(const RelationTable& table) {
  std::vector<Relation*> rows;
  rows.reserve(static_cast<std::size_t>(table.Count()));
  for (const auto& relation : table) rows.push_back(relation.get());
  SortRows(rows);
  Reorder(std::move(rows));
}

void RelationRows::RowChanged(const Relation* relation) {
  const int row = RowOf(relation);
  if (row >= 0 && observer_) observer_->RowsChanged(row, row);
}

void RelationRows::SortBy(int column) {
  sortAscending_ = AscendingAfterClick(sortColumn_, sortAscending_, column);
  sortColumn_ = column;
  std::vector<Relation*> rows = rows_;
  SortRows(rows);
  Reorder(std::move(rows));
}

void RelationRows::SetPresence(PresenceCells presence) {
  if (presence == presence_) return;
  presence_ = std::move(presence);
  if (Count() > 0 && observer_) observer_->RowsChanged(0, Count() - 1);
  if (IsPresenceColumn(sortColumn_)) {
    std::vector<Relation*> rows = rows_;
    SortRows(rows);
    Reorder(std::move(rows));
  }
}

int RelationRows::CompareRows(const Relation& a, const Relation& b) const {
  if (IsPresenceColumn(sortColumn_)) {
    const int c = presence_.Compare(a, b, sortColumn_);
    return sortAscending_ ? c : -c;
  }
  return CompareRelations(a, b, SortParameter(sortColumn_, sortAscending_));
}

void RelationRows::SortRows(std::vector<Relation*>& rows) const {
  if (sortColumn_ == -1) return;
  std::stable_sort(rows.begin(), rows.end(),
                   [this](const Relation* a, const Relation* b) { return CompareRows(*a, *b) < 0; });
}

void RelationRows::Reorder(std::vector<Relation*> order) {
  // The same relations in another order keep their rows' identity (and a
  // selection on them); anything else starts the rows afresh.
  if (order.size() != rows_.size()) return Reset(std::move(order));
  std::unordered_map<const Relation*, int> newRow;
  newRow.reserve(order.size());
  for (std::size_t i = 0; i < order.size(); ++i) newRow.emplace(order[i], static_cast<int>(i));
  std::vector<int> newRowOfOldRow;
  newRowOfOldRow.reserve(rows_.size());
  bool moved = false;
  for (std::size_t old = 0; old < rows_.size(); ++old) {
    const auto found = newRow.find(rows_[old]);
    if (found == newRow.end() || newRow.size() != order.size()) return Reset(std::move(order));
    newRowOfOldRow.push_back(found->second);
    moved = moved || found->second != static_cast<int>(old);
  }
  if (!moved) return;
  if (observer_) observer_->LayoutAboutToBeChanged();
  rows_ = std::move(order);
  if (observer_) observer_->LayoutChanged(newRowOfOldRow);
}

void RelationRows::Reset(std::vector<Relation*> rows) {
  if (observer_) observer_->ModelAboutToBeReset();
  rows_ = std::move(rows);
  if (observer_) observer_->ModelReset();
}

}  // namespace corvessa
