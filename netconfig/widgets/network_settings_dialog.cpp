#include "netconfig/widgets/network_settings_dialog.h"

#include <optional>

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "core/strings.h"
#include "netconfig/interface_configuration.h"
#include "netconfig/widgets/control_ids.h"
#include "netconfig/widgets/dialog_controls.h"
#include "netconfig/settings_entry.h"
#include "ui/network_settings_store.h"
#include "ui/prompts.h"
#include "ui/widgets/ip_address_edit.h"
#include "ui/widgets/qt_text.h"

namespace corvessa {

namespace {

constexpr int kLabelColumn = 0;
constexpr int kControlColumn = 1;

// Blank controls read as nothing entered.
std::optional<std::uint32_t> EnteredAddress(const IpAddressEdit* edit) {
  if (edit->IsBlank()) return std::nullopt;
  return edit->Address();
}

// A 0 is shown as a blank control.
void ShowAddressOrBlank(IpAddressEdit* edit, std::uint32_t address) {
  if (address == 0) {
    edit->Clear();
  } else {
    edit->SetAddress(address);
  }
}

}  // namespace

NetworkSettingsDialog::NetworkSettingsDialog(const SettingsStore& store, Prompts& prompts, const HostNetwork& host,
                                 QWidget* parent)
    : QDialog(parent), store_(store), prompts_(prompts), host_(host) {
  BuildControls();
}

void NetworkSettingsDialog::BuildControls() {
  setWindowTitle(ToQString(text::kNetworkSettingsCaption));

  group_ = new QGroupBox(ToQString(text::kDefaultsGroup), this);
  SetControlId(group_, netconfig_ids::kStatic);
  auto* grid = new QGridLayout(group_);

  adapterLabel_ = new QLabel(ToQString(text::kAdapterLabel), group_);
  SetControlId(adapterLabel_, netconfig_ids::kAdapterName);
  adapterLabel_->setAlignment(Qt::AlignCenter);
  grid->addWidget(adapterLabel_, 0, kLabelColumn, 1, 2);

  int row = 1;
  const auto addRow = [&](std::string_view labelText, QWidget* control, int id) {
    auto* label = new QLabel(ToQString(labelText), group_);
    SetControlId(label, netconfig_ids::kStatic);
    SetControlId(control, id);
    AttachLabel(label, control);
    grid->addWidget(label, row, kLabelColumn);
    grid->addWidget(control, row, kControlColumn);
    ++row;
  };
  const auto addAddressRow = [&](std::string_view labelText, int id) {
    auto* edit = new IpAddressEdit(group_);
    edit->SetAccessibleCaption(CaptionOf(labelText));
    addRow(labelText, edit, id);
    return edit;
  };

  serverAddress_ = new QLineEdit(group_);
  serverAddress_->setReadOnly(true);
  addRow(text::kServerIpAddressLabel, serverAddress_, netconfig_ids::kServerAddress);
  subnetMask_ = addAddressRow(text::kSubnetMaskLabel, netconfig_ids::kSubnetMask);
  gateway_ = addAddressRow(text::kGatewayLabel, netconfig_ids::kGateway);
  dns1_ = addAddressRow(text::kPrimaryDnsLabel, netconfig_ids::kPrimaryDns);
  dns2_ = addAddressRow(text::kSecondaryDnsLabel, netconfig_ids::kSecondaryDns);
  domainName_ = new QLineEdit(group_);
  domainName_->setMaxLength(static_cast<int>(kDomainNameSize));
  addRow(text::kDomainNameLabel, domainName_, netconfig_ids::kDomainName);

  resetButton_ = new QPushButton(ToQString(text::kResetDefaults), this);
  SetControlId(resetButton_, netconfig_ids::kResetDefaults);
  resetButton_->setAutoDefault(false);
  okButton_ = new QPushButton(ToQString(text::kOk), this);
  SetControlId(okButton_, netconfig_ids::kOk);
  okButton_->setDefault(true);
  cancelButton_ = new QPushButton(ToQString(text::kCancel), this);
  SetControlId(cancelButton_, netconfig_ids::kCancel);
  cancelButton_->setAutoDefault(false);
  connect(resetButton_, &QPushButton::clicked, this, &NetworkSettingsDialog::OnResetDefaults);
  connect(okButton_, &QPushButton::clicked, this, &NetworkSettingsDialog::OnOK);
  connect(cancelButton_, &QPushButton::clicked, this, &NetworkSettingsDialog::reject);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(resetButton_);
  buttons->addStretch();
  buttons->addWidget(okButton_);
  buttons->addWidget(cancelButton_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(group_);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void NetworkSettingsDialog::SetSettings(const NetworkSettings& settings) {
  settings_ = settings;
  given_ = settings;
}

void NetworkSettingsDialog::showEvent(QShowEvent* event) {
  if (!initialized_ && !event->spontaneous()) {
    initialized_ = true;
    OnInitDialog();
  }
  QDialog::showEvent(event);
}

bool NetworkSettingsDialog::OnInitDialog() {
  const InterfaceConfiguration configuration = ReadInterfaceConfiguration(store_, host_);
  // Settings never set yet get the interface's own; set ones are kept whole.
  if (HasNoAddresses(settings_)) ApplyConfigurationDefaults(settings_, configuration);

  subnetMask_->SetAddress(settings_.subnetMask);
  ShowAddressOrBlank(gateway_, settings_.gateway);
  ShowAddressOrBlank(dns1_, settings_.dns1);
  ShowAddressOrBlank(dns2_, settings_.dns2);
  ShowDomainName();

  const std::string adapter = ReadLastAdapter(store_);
  adapterLabel_->setText(ToQString(text::kAdapterPrefix) + ToQString(adapter));
  serverAddress_->setText(ToQString(ReadInterfaceAddressText(store_, adapter)));
  return true;
}

void NetworkSettingsDialog::ShowDomainName() { domainName_->setText(ToQString(settings_.DomainName())); }

QWidget* NetworkSettingsDialog::ControlOf(SettingsField field) const {
  switch (field) {
    case SettingsField::SubnetMask:
      return subnetMask_;
    case SettingsField::Gateway:
      return gateway_;
    case SettingsField::PrimaryDns:
      return dns1_;
    case SettingsField::SecondaryDns:
      return dns2_;
  }
  return nullptr;
}

void NetworkSettingsDialog::OnOK() {
  SettingsEntry entry;
  entry.subnetMask = subnetMask_->Address();
  entry.gateway = EnteredAddress(gateway_);
  entry.dns1 = EnteredAddress(dns1_);
  entry.dns2 = EnteredAddress(dns2_);
  entry.serverAddressText = ToStdString(serverAddress_->text());
  // The edit holds at most 32 characters; in UTF-8 they may take more bytes
  // than the field has.
  const std::string domain = ToStdString(domainName_->text().left(static_cast<qsizetype>(kDomainNameSize)));

  if (const std::optional<EntryProblem> problem = CheckSettingsEntry(entry)) {
    prompts_.Message(LoadString(problem->messageId), LoadString(kIdsInvalidAddressCaption));
    if (QWidget* control = ControlOf(problem->field)) control->setFocus(Qt::OtherFocusReason);
    return;
  }

  settings_.subnetMask = entry.subnetMask;
  settings_.gateway = entry.gateway.value_or(0);
  settings_.dns1 = entry.dns1.value_or(0);
  settings_.dns2 = entry.dns2.value_or(0);
  settings_.SetDomainName(CutDomainName(domain));
  QDialog::accept();
}

void NetworkSettingsDialog::OnResetDefaults() {
  ApplyConfigurationDefaults(settings_, ReadInterfaceConfiguration(store_, host_));
  ShowAddressOrBlank(subnetMask_, settings_.subnetMask);
  ShowAddressOrBlank(gateway_, settings_.gateway);
  ShowAddressOrBlank(dns1_, settings_.dns1);
  ShowAddressOrBlank(dns2_, settings_.dns2);
  ShowDomainName();
}

void NetworkSettingsDialog::reject() {
  // Defaults shown while the dialog was open were never taken.
  settings_ = given_;
  QDialog::reject();
}

}  // namespace corvessa
