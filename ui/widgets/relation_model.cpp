#include "ui/widgets/relation_model.h"

#include "relations/relation_order.h"
#include "ui/widgets/qt_text.h"

namespace corvessa {

RelationModel::RelationModel(RelationRows& rows, QObject* parent) : ColumnsModel(parent), rows_(rows) {
  rows_.SetObserver(this);
}

RelationModel::~RelationModel() { rows_.SetObserver(nullptr); }

std::vector<Relation*> RelationModel::RelationsOf(const std::vector<int>& rows) const {
  std::vector<Relation*> relations;
  relations.reserve(rows.size());
  for (const int row : rows) {
    if (Relation* relation = rows_.At(row)) relations.push_back(relation);
  }
  return relations;
}

int RelationModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_.Count(); }

QVariant RelationModel::data(const QModelIndex& index, int role) const {
  const Relation* relation = index.isValid() ? rows_.At(index.row()) : nullptr;
  if (relation == nullptr || index.column() < 0 || index.column() >= ColumnCount()) return {};
  switch (role) {
    case Qt::DisplayRole:
      if (IsPresenceColumn(index.column())) return ToQString(rows_.Presence().Text(*relation, index.column()));
      return ToQString(RelationCellText(*relation, index.column()));
    case Qt::ToolTipRole: {
      const std::string tip = rows_.Presence().ToolTip(*relation, index.column());
      return tip.empty() ? QVariant() : QVariant(ToQString(tip));
    }
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(kCellAlignment);
    default:
      return {};
  }
}

void RelationModel::RowsAboutToBeInserted(int first, int last) { beginInsertRows(QModelIndex(), first, last); }

void RelationModel::RowsInserted() { endInsertRows(); }

void RelationModel::RowsAboutToBeRemoved(int first, int last) { beginRemoveRows(QModelIndex(), first, last); }

void RelationModel::RowsRemoved() { endRemoveRows(); }

void RelationModel::LayoutAboutToBeChanged() { emit layoutAboutToBeChanged(); }

void RelationModel::LayoutChanged(const std::vector<int>& newRowOfOldRow) {
  // Selection and current row are persistent indexes: they move with their rows.
  const QModelIndexList before = persistentIndexList();
  QModelIndexList after;
  after.reserve(before.size());
  for (const QModelIndex& old : before) {
    const auto row = static_cast<std::size_t>(old.row());
    after.push_back(row < newRowOfOldRow.size() ? index(newRowOfOldRow[row], old.column()) : QModelIndex());
  }
  changePersistentIndexList(before, after);
  emit layoutChanged();
}

void RelationModel::RowsChanged(int first, int last) {
  emit dataChanged(index(first, 0), index(last, std::max(ColumnCount() - 1, 0)), {Qt::DisplayRole, Qt::ToolTipRole});
}

void RelationModel::ModelAboutToBeReset() { beginResetModel(); }

void RelationModel::ModelReset() { endResetModel(); }

}  // namespace corvessa
