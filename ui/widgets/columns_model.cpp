#include "ui/widgets/columns_model.h"

#include "ui/widgets/qt_text.h"

namespace corvessa {

void ColumnsModel::SetHeaders(std::vector<std::string> headers) {
  beginResetModel();
  headers_ = std::move(headers);
  ColumnsChanged();
  endResetModel();
}

int ColumnsModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : ColumnCount();
}

QVariant ColumnsModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount()) return {};
  switch (role) {
    case Qt::DisplayRole:
      return ToQString(headers_[static_cast<std::size_t>(section)]);
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(kCellAlignment);
    default:
      return {};
  }
}

Qt::ItemFlags ColumnsModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  // Rows are chosen, never edited in place.
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

}  // namespace corvessa
