#pragma once
// The About box (the product's CAboutDlg, dialog template 100): the
// application icon, the program's name and version, OK.

#include <QDialog>

class QIcon;
class QPushButton;

namespace corvessa {

class AboutDialog : public QDialog {
  Q_OBJECT

 public:
  explicit AboutDialog(const QIcon& icon, QWidget* parent = nullptr);

  QPushButton* OkButton() const { return okButton_; }

 private:
  QPushButton* okButton_ = nullptr;
};

}  // namespace corvessa
