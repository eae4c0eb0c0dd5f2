#include "files/widgets/kea_export_dialog.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "netconfig/widgets/dialog_controls.h"

namespace corvessa {

namespace {

constexpr std::string_view kCaption = "Export to ISC Kea DHCPv4";
constexpr std::string_view kBootpText = "Answer devices that ask by BOOTP (BOOTP hook)";
constexpr std::string_view kHooksFolderText = "Kea hook libraries folder:";
constexpr std::string_view kLeaseFileText = "Lease file:";
constexpr std::string_view kPairText = "Also write the standby server's file (high-availability pair, hot standby)";
constexpr std::string_view kPrimaryUrlText = "Primary server URL:";
constexpr std::string_view kStandbyUrlText = "Standby server URL:";
constexpr int kDefaultPeerPort = 8005;

QString Q(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<int>(text.size())); }

QLineEdit* AddEdit(QFormLayout& form, std::string_view labelText, const std::string& value, QWidget* parent) {
  auto* label = new QLabel(Q(labelText), parent);
  auto* edit = new QLineEdit(QString::fromStdString(value), parent);
  AttachLabel(label, edit);
  form.addRow(label, edit);
  return edit;
}

}  // namespace

KeaExportDialog::KeaExportDialog(const KeaOptions& defaults, std::string_view defaultPrimaryUrl, int bootpDevices,
                             QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(Q(kCaption));
  auto* layout = new QVBoxLayout(this);

  bootpHook_ = new QCheckBox(Q(kBootpText), this);
  bootpHook_->setAccessibleName(Q(kBootpText));
  bootpHook_->setChecked(defaults.bootpHook || bootpDevices > 0);
  layout->addWidget(bootpHook_);
  if (bootpDevices > 0) {
    // A device seen asking by BOOTP would get no answer without the hook.
    bootpHook_->setEnabled(false);
    layout->addWidget(new QLabel(
        QString("%1 listed device(s) asked by BOOTP while Corvessa ran; Kea needs the hook for them.").arg(bootpDevices),
        this));
  }

  auto* form = new QFormLayout;
  hooksFolder_ = AddEdit(*form, kHooksFolderText, defaults.hooksDirectory, this);
  leaseFile_ = AddEdit(*form, kLeaseFileText, defaults.leaseFile, this);
  layout->addLayout(form);

  pair_ = new QCheckBox(Q(kPairText), this);
  pair_->setAccessibleName(Q(kPairText));
  pair_->setChecked(defaults.highAvailability.has_value());
  layout->addWidget(pair_);
  auto* pairForm = new QFormLayout;
  const KeaHighAvailability ha =
      defaults.highAvailability.value_or(KeaHighAvailability{std::string(defaultPrimaryUrl), std::string()});
  primaryUrl_ = AddEdit(*pairForm, kPrimaryUrlText, ha.primaryUrl, this);
  standbyUrl_ = AddEdit(*pairForm, kStandbyUrlText, ha.standbyUrl, this);
  standbyUrl_->setPlaceholderText(QString("http://address:%1/").arg(kDefaultPeerPort));
  layout->addLayout(pairForm);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  okButton_ = new QPushButton(tr("OK"), this);
  cancelButton_ = new QPushButton(tr("Cancel"), this);
  okButton_->setAccessibleName(tr("OK"));
  cancelButton_->setAccessibleName(tr("Cancel"));
  okButton_->setDefault(true);
  buttons->addWidget(okButton_);
  buttons->addWidget(cancelButton_);
  layout->addLayout(buttons);

  connect(okButton_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);
  connect(pair_, &QCheckBox::toggled, this, [this] { UpdatePairEnabling(); });
  UpdatePairEnabling();
}

void KeaExportDialog::UpdatePairEnabling() {
  primaryUrl_->setEnabled(pair_->isChecked());
  standbyUrl_->setEnabled(pair_->isChecked());
}

KeaOptions KeaExportDialog::Options() const {
  KeaOptions options;
  options.bootpHook = bootpHook_->isChecked();
  options.hooksDirectory = hooksFolder_->text().trimmed().toStdString();
  options.leaseFile = leaseFile_->text().trimmed().toStdString();
  if (pair_->isChecked()) {
    options.highAvailability =
        KeaHighAvailability{primaryUrl_->text().trimmed().toStdString(), standbyUrl_->text().trimmed().toStdString()};
  }
  return options;
}

}  // namespace corvessa
