#pragma once
// The network settings dialog (the product's CSetDefaultsDlg, dialog
// template 129, with OnInitDialog, OnOK and Reset Defaults): edits a working
// copy of the network settings handed to the devices, and offers the server
// interface's own TCP/IP configuration as defaults.

#include <QDialog>

#include "core/network_settings.h"
#include "netconfig/host_network.h"
#include "netconfig/settings_entry.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace corvessa {

class IpAddressEdit;
class Prompts;
class SettingsStore;

class NetworkSettingsDialog : public QDialog {
  Q_OBJECT

 public:
  // The controls are filled when the dialog is first shown (exec or show), so
  // SetSettings comes before that. `store`, `prompts` and `host` must outlive
  // the dialog.
  NetworkSettingsDialog(const SettingsStore& store, Prompts& prompts, const HostNetwork& host, QWidget* parent = nullptr);

  // The working copy. After OK it holds the values entered; after Cancel it
  // is what SetSettings gave, whatever defaults were shown meanwhile.
  void SetSettings(const NetworkSettings& settings);
  const NetworkSettings& Settings() const { return settings_; }

  // OK (command 1): checks the entry; takes it or reports the first problem.
  void OnOK();
  // Reset Defaults (1040): the interface's configuration again.
  void OnResetDefaults();

  void reject() override;

  QLabel* AdapterLabel() const { return adapterLabel_; }
  QLineEdit* ServerAddressEdit() const { return serverAddress_; }
  IpAddressEdit* SubnetMaskEdit() const { return subnetMask_; }
  IpAddressEdit* GatewayEdit() const { return gateway_; }
  IpAddressEdit* PrimaryDnsEdit() const { return dns1_; }
  IpAddressEdit* SecondaryDnsEdit() const { return dns2_; }
  QLineEdit* DomainNameEdit() const { return domainName_; }
  QPushButton* ResetDefaultsButton() const { return resetButton_; }
  QPushButton* OkButton() const { return okButton_; }
  QPushButton* CancelButton() const { return cancelButton_; }

 protected:
  void showEvent(QShowEvent* event) override;
  // Fills the controls; runs once, when the dialog is first shown.
  bool OnInitDialog();

 private:
  void BuildControls();
  void ShowDomainName();
  QWidget* ControlOf(SettingsField field) const;

  const SettingsStore& store_;
  Prompts& prompts_;
  const HostNetwork& host_;
  bool initialized_ = false;

  NetworkSettings settings_;
  NetworkSettings given_;  // restored on Cancel

  QGroupBox* group_ = nullptr;
  QLabel* adapterLabel_ = nullptr;
  QLineEdit* serverAddress_ = nullptr;
  IpAddressEdit* subnetMask_ = nullptr;
  IpAddressEdit* gateway_ = nullptr;
  IpAddressEdit* dns1_ = nullptr;
  IpAddressEdit* dns2_ = nullptr;
  QLineEdit* domainName_ = nullptr;
  QPushButton* resetButton_ = nullptr;
  QPushButton* okButton_ = nullptr;
  QPushButton* cancelButton_ = nullptr;
};

}  // namespace corvessa
