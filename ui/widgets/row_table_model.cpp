#include "ui/widgets/row_table_model.h"

#include <algorithm>
#include <numeric>

#include "ui/widgets/qt_text.h"

namespace corvessa {

namespace {

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (prefix.size() > text.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (FoldAscii(text[i]) != FoldAscii(prefix[i])) return false;
  }
  return true;
}

}  // namespace

int RowTableModel::InsertRow(int index, const std::vector<std::string>& texts) {
  if (index < 0) return -1;
  const int at = std::min(index, RowCount());
  Row row;
  row.texts.resize(static_cast<std::size_t>(ColumnCount()));
  const std::size_t n = std::min(texts.size(), row.texts.size());
  std::copy_n(texts.begin(), n, row.texts.begin());
  beginInsertRows(QModelIndex(), at, at);
  rows_.insert(rows_.begin() + at, std::move(row));
  endInsertRows();
  return at;
}

bool RowTableModel::SetCellText(int row, int column, std::string_view text) {
  if (!HasRow(row) || column < 0 || column >= ColumnCount()) return false;
  rows_[static_cast<std::size_t>(row)].texts[static_cast<std::size_t>(column)] = text;
  const QModelIndex cell = index(row, column);
  emit dataChanged(cell, cell, {Qt::DisplayRole});
  return true;
}

std::string RowTableModel::CellText(int row, int column) const {
  if (!HasRow(row) || column < 0 || column >= ColumnCount()) return {};
  return rows_[static_cast<std::size_t>(row)].texts[static_cast<std::size_t>(column)];
}

void* RowTableModel::ItemData(int row) const {
  return HasRow(row) ? rows_[static_cast<std::size_t>(row)].data : nullptr;
}

bool RowTableModel::SetItemData(int row, void* data) {
  if (!HasRow(row)) return false;
  rows_[static_cast<std::size_t>(row)].data = data;
  return true;
}

bool RowTableModel::DeleteRow(int row) {
  if (!HasRow(row)) return false;
  beginRemoveRows(QModelIndex(), row, row);
  rows_.erase(rows_.begin() + row);
  endRemoveRows();
  return true;
}

bool RowTableModel::DeleteAll() {
  if (rows_.empty()) return true;
  beginRemoveRows(QModelIndex(), 0, RowCount() - 1);
  rows_.clear();
  endRemoveRows();
  return true;
}

void RowTableModel::ReplaceAll(std::vector<RowContent> rows) {
  const auto columns = static_cast<std::size_t>(ColumnCount());
  beginResetModel();
  rows_.clear();
  rows_.reserve(rows.size());
  for (RowContent& content : rows) {
    content.texts.resize(columns);
    rows_.push_back(Row{std::move(content.texts), content.data});
  }
  endResetModel();
}

int RowTableModel::FindPrefix(std::string_view prefix) const {
  if (ColumnCount() == 0) return -1;
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    if (StartsWithNoCase(rows_[i].texts[0], prefix)) return static_cast<int>(i);
  }
  return -1;
}

void RowTableModel::Sort(const std::function<int(void* a, void* b)>& compare) {
  if (rows_.size() < 2) return;
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);

  std::vector<int> order(rows_.size());  // order[new row] = old row
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    return compare(rows_[static_cast<std::size_t>(a)].data,
                   rows_[static_cast<std::size_t>(b)].data) < 0;
  });

  std::vector<Row> sorted;
  sorted.reserve(rows_.size());
  std::vector<int> newRowOf(rows_.size());
  for (std::size_t i = 0; i < order.size(); ++i) {
    sorted.push_back(std::move(rows_[static_cast<std::size_t>(order[i])]));
    newRowOf[static_cast<std::size_t>(order[i])] = static_cast<int>(i);
  }
  rows_ = std::move(sorted);

  // Selection and the current row belong to rows, not to positions.
  const QModelIndexList before = persistentIndexList();
  QModelIndexList after;
  after.reserve(before.size());
  for (const QModelIndex& old : before) {
    after.push_back(index(newRowOf[static_cast<std::size_t>(old.row())], old.column()));
  }
  changePersistentIndexList(before, after);
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

int RowTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : RowCount();
}

QVariant RowTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || !HasRow(index.row()) || index.column() >= ColumnCount()) return {};
  switch (role) {
    case Qt::DisplayRole:
      return ToQString(
          rows_[static_cast<std::size_t>(index.row())].texts[static_cast<std::size_t>(index.column())]);
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(kCellAlignment);
    default:
      return {};
  }
}

void RowTableModel::ColumnsChanged() {
  for (Row& row : rows_) row.texts.resize(static_cast<std::size_t>(ColumnCount()));
}

}  // namespace corvessa
