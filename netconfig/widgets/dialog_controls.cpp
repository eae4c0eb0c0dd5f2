#include "netconfig/widgets/dialog_controls.h"

#include <QLabel>
#include <QWidget>

#include "ui/widgets/qt_text.h"

namespace corvessa {

void SetControlId(QWidget* control, int id) { control->setProperty("controlId", id); }

QString CaptionOf(std::string_view labelText) {
  QString caption = ToQString(labelText);
  if (caption.endsWith(QLatin1Char(':'))) caption.chop(1);
  return caption;
}

void AttachLabel(QLabel* label, QWidget* control) {
  label->setBuddy(control);
  // The label itself keeps no fixed accessible name: its text is its name.
  if (control->accessibleName().isEmpty()) control->setAccessibleName(CaptionOf(ToStdString(label->text())));
}

}  // namespace corvessa
