#pragma once
// The network settings dialog.

#include <QDialog>

namespace corvessa {

class CSetDefaultsDlg : public QDialog {
  Q_OBJECT
 public:
  explicit CSetDefaultsDlg(QWidget* parent = nullptr);
};

}  // namespace corvessa
