#include "enip/widgets/device_model.h"

#include "core/strings.h"
#include "enip/scan_texts.h"
#include "relations/presence_texts.h"
#include "ui/widgets/qt_text.h"

namespace corvessa {

DeviceModel::DeviceModel(const std::vector<DeviceRow>& rows, QObject* parent) : ColumnsModel(parent), rows_(rows) {}

void DeviceModel::Reload() {
  beginResetModel();
  endResetModel();
}

int DeviceModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

QVariant DeviceModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() < 0 || static_cast<std::size_t>(index.row()) >= rows_.size() ||
      index.column() < 0 || index.column() >= kDeviceColumnCount) {
    return {};
  }
  const DeviceRow& row = rows_[static_cast<std::size_t>(index.row())];
  switch (role) {
    case Qt::DisplayRole: {
      const std::string& text = row.texts[static_cast<std::size_t>(index.column())];
      // A device that is not the one that answered here before says so.
      if (index.column() == kDeviceColumnProductName && !row.changeToolTip.empty()) {
        return ToQString(FormatText(presence_text::kChanged, text.c_str()));
      }
      return ToQString(text);
    }
    case Qt::ToolTipRole:
      if (index.column() == kDeviceColumnProductName && !row.changeToolTip.empty()) {
        return ToQString(row.changeToolTip);
      }
      return {};
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(kCellAlignment);
    default:
      return {};
  }
}

}  // namespace corvessa
