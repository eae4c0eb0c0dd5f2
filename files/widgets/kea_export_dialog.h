#pragma once
// The options of an export to Kea: the BOOTP hook, where Kea's hook
// libraries and lease file are, and the peers of a hot-standby pair.

#include <QDialog>

#include "files/kea_config.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace corvessa {

class KeaExportDialog : public QDialog {
  Q_OBJECT

 public:
  // `bootpDevices`: how many listed devices asked by BOOTP while this window
  // ran. They need the hook, so it cannot be turned off then.
  KeaExportDialog(const KeaOptions& defaults, std::string_view defaultPrimaryUrl, int bootpDevices,
                QWidget* parent = nullptr);

  // What the controls say now.
  KeaOptions Options() const;

  QCheckBox* BootpHookCheck() const { return bootpHook_; }
  QLineEdit* HooksFolderEdit() const { return hooksFolder_; }
  QLineEdit* LeaseFileEdit() const { return leaseFile_; }
  QCheckBox* PairCheck() const { return pair_; }
  QLineEdit* PrimaryUrlEdit() const { return primaryUrl_; }
  QLineEdit* StandbyUrlEdit() const { return standbyUrl_; }
  QPushButton* OkButton() const { return okButton_; }
  QPushButton* CancelButton() const { return cancelButton_; }

 private:
  void UpdatePairEnabling();

  QCheckBox* bootpHook_ = nullptr;
  QLineEdit* hooksFolder_ = nullptr;
  QLineEdit* leaseFile_ = nullptr;
  QCheckBox* pair_ = nullptr;
  QLineEdit* primaryUrl_ = nullptr;
  QLineEdit* standbyUrl_ = nullptr;
  QPushButton* okButton_ = nullptr;
  QPushButton* cancelButton_ = nullptr;
};

}  // namespace corvessa
