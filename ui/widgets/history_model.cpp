#include "ui/widgets/history_model.h"

#include <algorithm>

#include "ui/widgets/qt_text.h"

namespace corvessa {

namespace {

const std::string& CellOf(const HistoryEntry& entry, int column) {
  switch (column) {
    case HistoryModel::kMac:
      return entry.mac;
    case HistoryModel::kType:
      return entry.type;
    case HistoryModel::kTime:
      return entry.time;
    case HistoryModel::kCount:
      return entry.count;
    case HistoryModel::kIpAddress:
      // A request refused for an address conflict says so where its address would be.
      return entry.ipAddress.empty() ? entry.conflict : entry.ipAddress;
    default:
      return entry.hostname;
  }
}

}  // namespace

HistoryModel::HistoryModel(HistoryList& list, QObject* parent) : ColumnsModel(parent), list_(list) {
  list_.SetObserver(this);
}

HistoryModel::~HistoryModel() { list_.SetObserver(nullptr); }

int HistoryModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : list_.RowCount();
}

QVariant HistoryModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= list_.RowCount() || index.column() < 0 ||
      index.column() >= std::min<int>(ColumnCount(), kColumnCount)) {
    return {};
  }
  switch (role) {
    case Qt::DisplayRole:
      return ToQString(CellOf(list_.Row(index.row()), index.column()));
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(kCellAlignment);
    default:
      return {};
  }
}

void HistoryModel::RowsAboutToBeRemoved(int first, int last) {
  beginRemoveRows(QModelIndex(), first, last);
}

void HistoryModel::RowsRemoved() { endRemoveRows(); }

void HistoryModel::RowAboutToBeInsertedAtTop() { beginInsertRows(QModelIndex(), 0, 0); }

void HistoryModel::RowInsertedAtTop() { endInsertRows(); }

void HistoryModel::RowChanged(int row) { emit dataChanged(index(row, 0), index(row, kColumnCount - 1)); }

void HistoryModel::ModelAboutToBeReset() { beginResetModel(); }

void HistoryModel::ModelReset() { endResetModel(); }

}  // namespace corvessa
