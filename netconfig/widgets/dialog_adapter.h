#pragma once
// The network interface selection dialog.

#include <QDialog>

namespace corvessa {

class CDialogAdapter : public QDialog {
  Q_OBJECT
 public:
  explicit CDialogAdapter(QWidget* parent = nullptr);
};

}  // namespace corvessa
