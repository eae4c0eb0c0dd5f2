#pragma once
// The network interface selection dialog (the product's CDialogAdapter,
// dialog template 270, with OnInitDialog and OK): lists the host's adapters
// and records the one the user picks as the selected interface.

#include <string>
#include <vector>

#include <QDialog>

#include "netconfig/adapters.h"
#include "netconfig/host_network.h"

class QLabel;
class QPushButton;
class QTreeWidget;

namespace corvessa {

class Prompts;
class SettingsStore;

class InterfaceDialog : public QDialog {
  Q_OBJECT

 public:
  // The list is filled when the dialog is first shown (exec or show); `host`,
  // `store` and `prompts` must outlive the dialog.
  InterfaceDialog(SettingsStore& store, Prompts& prompts, const HostNetwork& host, QWidget* parent = nullptr);

  // After OK: the chosen interface's description and address text ("Unknown"
  // for an adapter without an address). Empty otherwise.
  const std::string& ChosenDescription() const { return chosenDescription_; }
  const std::string& ChosenAddress() const { return chosenAddress_; }

  QTreeWidget* List() const { return list_; }
  QPushButton* OkButton() const { return okButton_; }

  // OK (command 1): records the first selected row, or asks for a selection.
  void OnOK();

 protected:
  void showEvent(QShowEvent* event) override;
  // Fills the list; runs once, when the dialog is first shown.
  bool OnInitDialog();

 private:
  SettingsStore& store_;
  Prompts& prompts_;
  const HostNetwork& host_;
  bool initialized_ = false;

  QLabel* prompt_ = nullptr;
  QTreeWidget* list_ = nullptr;
  QPushButton* okButton_ = nullptr;

  // The rows' adapters, in list order: the stored texts are the adapter's
  // own, not a round trip through the displayed text.
  std::vector<Adapter> adapters_;
  std::string chosenDescription_;
  std::string chosenAddress_;
};

}  // namespace corvessa
