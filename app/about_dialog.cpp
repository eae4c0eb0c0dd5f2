#include "app/about_dialog.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/command_ids.h"
#include "app/control_id.h"
#include "core/strings.h"
#include "ui/widgets/qt_text.h"

namespace corvessa {

namespace {
constexpr int kIconSize = 32;
}  // namespace

AboutDialog::AboutDialog(const QIcon& icon, QWidget* parent) : QDialog(parent) {
  setWindowTitle(ToQString(text::kAboutCaption));
  setWindowIcon(icon);

  auto* picture = new QLabel(this);
  SetControlId(picture, ids::kStatic);
  picture->setPixmap(icon.pixmap(kIconSize, kIconSize));

  auto* version = new QLabel(ToQString(text::kAboutVersion), this);
  SetControlId(version, ids::kStatic);

  okButton_ = new QPushButton(ToQString(text::kOk), this);
  SetControlId(okButton_, ids::kOk);
  okButton_->setAccessibleName(ToQString(text::kOk));
  okButton_->setDefault(true);
  connect(okButton_, &QPushButton::clicked, this, &QDialog::accept);

  auto* top = new QHBoxLayout;
  top->addWidget(picture);
  top->addWidget(version, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(okButton_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addLayout(buttons);
  setFixedSize(sizeHint());
}

}  // namespace corvessa
