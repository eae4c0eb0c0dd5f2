#pragma once
// The devices that answered the last identity scan as the rows of a Table.
// The rows are read in place and must outlive the model; Reload() follows a
// new scan or a change of the relation list.

#include <vector>

#include "enip/device_rows.h"
#include "ui/widgets/columns_model.h"

namespace corvessa {

class DeviceModel : public ColumnsModel {
  Q_OBJECT

 public:
  explicit DeviceModel(const std::vector<DeviceRow>& rows, QObject* parent = nullptr);

  // The rows changed as a whole.
  void Reload();

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

 private:
  const std::vector<DeviceRow>& rows_;
};

}  // namespace corvessa
