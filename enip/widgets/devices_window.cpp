#include "enip/widgets/devices_window.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "enip/scan_texts.h"
#include "enip/widgets/device_model.h"
#include "ui/widgets/qt_text.h"
#include "ui/widgets/table.h"

namespace corvessa {

namespace {

constexpr int kListWidth = 900;
constexpr int kListHeight = 240;

QPushButton* MakeButton(std::string_view text, std::string_view tip, QWidget* parent) {
  auto* button = new QPushButton(ToQString(text), parent);
  button->setAccessibleName(ToQString(text));
  if (!tip.empty()) button->setToolTip(ToQString(tip));
  return button;
}

}  // namespace

DevicesWindow::DevicesWindow(const std::vector<DeviceRow>& rows, QWidget* parent) : QDialog(parent), rows_(rows) {
  setModal(false);
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setWindowTitle(ToQString(scan_text::kWindowTitle));

  auto* layout = new QVBoxLayout(this);
  auto* caption = new QLabel(ToQString(scan_text::kWindowTitle), this);
  layout->addWidget(caption);
  model_ = new DeviceModel(rows_, this);
  devices_ = new Table(this);
  devices_->SetAccessibleCaption(ToQString(scan_text::kWindowTitle));
  caption->setBuddy(devices_);
  devices_->SetModel(model_);
  std::vector<std::string> headers;
  for (const std::string_view header : scan_text::kDeviceColumns) headers.emplace_back(header);
  devices_->SetupColumns(headers);
  devices_->SetMultiSelection(false);
  devices_->SetHeaderClickable(false);
  devices_->setMinimumSize(kListWidth, kListHeight);
  layout->addWidget(devices_);

  auto* buttons = new QHBoxLayout;
  addButton_ = MakeButton(scan_text::kAddAsRelation, scan_text::kAddAsRelationTip, this);
  acknowledgeButton_ = MakeButton(scan_text::kAcknowledge, scan_text::kAcknowledgeTip, this);
  auto* close = MakeButton(scan_text::kClose, {}, this);
  buttons->addWidget(addButton_);
  buttons->addWidget(acknowledgeButton_);
  buttons->addStretch(1);
  buttons->addWidget(close);
  layout->addLayout(buttons);

  connect(addButton_, &QPushButton::clicked, this, [this] {
    if (SelectedRow() >= 0) emit AddAsRelationRequested(SelectedRow());
  });
  connect(acknowledgeButton_, &QPushButton::clicked, this, [this] {
    if (SelectedRow() >= 0) emit AcknowledgeRequested(SelectedRow());
  });
  connect(close, &QPushButton::clicked, this, &QDialog::hide);
  connect(devices_, &Table::DoubleClicked, this, [this](int row) {
    if (row >= 0) emit AddAsRelationRequested(row);
  });
  connect(devices_, &Table::ItemChanged, this, &DevicesWindow::UpdateButtons);
  UpdateButtons();
}

DevicesWindow::~DevicesWindow() { devices_->SetModel(nullptr); }

int DevicesWindow::SelectedRow() const { return devices_->FirstSelectedRow(); }

void DevicesWindow::Reload() {
  // The rows have changed already; the device chosen is found again by the
  // address it had when it was chosen.
  const std::optional<std::uint32_t> address = selectedAddress_;
  model_->Reload();
  if (address) {
    for (std::size_t row = 0; row < rows_.size(); ++row) {
      if (rows_[row].device.address == *address) {
        devices_->SelectRow(static_cast<int>(row), false);
        break;
      }
    }
  }
  UpdateButtons();
}

void DevicesWindow::UpdateButtons() {
  const int row = SelectedRow();
  const bool valid = row >= 0 && static_cast<std::size_t>(row) < rows_.size();
  selectedAddress_.reset();
  if (valid) selectedAddress_ = rows_[static_cast<std::size_t>(row)].device.address;
  addButton_->setEnabled(valid);
  acknowledgeButton_->setEnabled(valid && !rows_[static_cast<std::size_t>(row)].changeToolTip.empty());
}

}  // namespace corvessa
