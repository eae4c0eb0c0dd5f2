#pragma once
// "Devices on the network": every device that answered the last identity
// scan, listed or not, with what it says of itself and whether a relation
// names it. Modeless, beside the main window; "Add as Relation" (or a
// double-click) asks for a relation for the selected device, "Accept Change"
// takes a device that replaced another at its address as the right one.

#include <cstdint>
#include <optional>

#include <QDialog>

#include "enip/device_rows.h"

class QLabel;
class QPushButton;

namespace corvessa {

class DeviceModel;
class Table;

class DevicesWindow : public QDialog {
  Q_OBJECT

 public:
  // The rows are read in place and must outlive the window.
  explicit DevicesWindow(const std::vector<DeviceRow>& rows, QWidget* parent = nullptr);
  ~DevicesWindow() override;

  // The rows changed: a new scan, or the relation list changed. The selected
  // device stays selected where it still answers.
  void Reload();

  Table& Devices() const { return *devices_; }
  QPushButton& AddButton() const { return *addButton_; }
  QPushButton& AcknowledgeButton() const { return *acknowledgeButton_; }
  int SelectedRow() const;

 signals:
  void AddAsRelationRequested(int row);
  void AcknowledgeRequested(int row);

 private:
  void UpdateButtons();

  const std::vector<DeviceRow>& rows_;
  DeviceModel* model_ = nullptr;
  Table* devices_ = nullptr;
  QPushButton* addButton_ = nullptr;
  QPushButton* acknowledgeButton_ = nullptr;
  // The device chosen, by the address it answered from.
  std::optional<std::uint32_t> selectedAddress_;
};

}  // namespace corvessa
