#pragma once
// The About box: the application icon, the program's name and version, OK.

#include <QDialog>

class QIcon;
class QPushButton;

namespace corvessa {

class CAboutDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CAboutDlg(const QIcon& icon, QWidget* parent = nullptr);

  QPushButton* OkButton() const { return okButton_; }

 private:
  QPushButton* okButton_ = nullptr;
};

}  // namespace corvessa
